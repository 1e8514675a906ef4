#include "common/xmlrpc/Call.h"

#include <cstring>
#include <memory>

namespace xmlrpc {

Call::Call(const QByteArray& methodName)
{
    request_ = XMLRPC_RequestNew();
    XMLRPC_RequestSetMethodName(request_, methodName.constData());
    XMLRPC_RequestSetRequestType(request_, xmlrpc_request_call);
    STRUCT_XMLRPC_REQUEST_OUTPUT_OPTIONS options;
    std::memset(&options, 0, sizeof options);
    options.xml_elem_opts.verbosity = xml_elem_no_white_space;
    // Values come from registration files and the owner's input: "&" or "<" unescaped
    // would make the call malformed, or let a value add elements of its own.
    options.xml_elem_opts.escaping = xml_elem_markup_escaping;
    options.xml_elem_opts.encoding = nullptr;  // no encoding in the declaration: UTF-8
    options.version = xmlrpc_version_1_0;
    XMLRPC_RequestSetOutputOptions(request_, &options);
    parameters_ = XMLRPC_CreateVector(nullptr, xmlrpc_vector_array);
    XMLRPC_RequestSetData(request_, parameters_);
}

Call::~Call()
{
    XMLRPC_RequestFree(request_, 1);
}

QByteArray Call::ToXml() const
{
    int length = 0;
    const std::unique_ptr<char, void (*)(void*)> xml(XMLRPC_REQUEST_ToXML(request_, &length), XMLRPC_Free);
    if (!xml || length <= 0)
        return {};
    return QByteArray(xml.get(), length);
}

}  // namespace xmlrpc
