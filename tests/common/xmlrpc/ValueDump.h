#pragma once

// Everything an xmlrpc-epi value holds, as text, so that two trees compare as strings.

#include "common/xmlrpc/Value.h"

#include <cstdio>
#include <string>

namespace xmlrpctest {

inline std::string dump(XMLRPC_VALUE v)
{
    if (v == nullptr)
        return "null";
    std::string out;
    if (const char* id = XMLRPC_GetValueID(v))
        out += std::string("'") + id + "'=";
    char number[64];
    switch (XMLRPC_GetValueType(v)) {
    case xmlrpc_empty: return out + "empty";
    case xmlrpc_string:
        return out + "string(" + std::string(XMLRPC_GetValueString(v), size_t(XMLRPC_GetValueStringLen(v))) + ")";
    case xmlrpc_int: return out + "int(" + std::to_string(XMLRPC_GetValueInt(v)) + ")";
    case xmlrpc_boolean: return out + "boolean(" + std::to_string(XMLRPC_GetValueBoolean(v)) + ")";
    case xmlrpc_double:
        std::snprintf(number, sizeof number, "%.17g", XMLRPC_GetValueDouble(v));
        return out + "double(" + number + ")";
    case xmlrpc_datetime:
        return out + "datetime(" + std::to_string(XMLRPC_GetValueDateTime(v)) + " " +
               XMLRPC_GetValueDateTime_ISO8601(v) + ")";
    case xmlrpc_base64: {
        out += "base64(";
        const char* bytes = XMLRPC_GetValueBase64(v);
        for (int i = 0; i < XMLRPC_GetValueStringLen(v); ++i) {
            std::snprintf(number, sizeof number, "%02x", static_cast<unsigned char>(bytes[i]));
            out += number;
        }
        return out + ")";
    }
    case xmlrpc_vector: {
        out += XMLRPC_GetVectorType(v) == xmlrpc_vector_array ? "array[" : "struct[";
        for (XMLRPC_VALUE e = XMLRPC_VectorRewind(v); e; e = XMLRPC_VectorNext(v))
            out += dump(e) + ",";
        return out + "]";
    }
    default: return out + "?";
    }
}

}  // namespace xmlrpctest
