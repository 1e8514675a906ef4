#pragma once

#include "common/xmlrpc/Value.h"

#include <QString>

#include <cstddef>

namespace xmlrpc {

// A methodResponse read from the bytes a server sent.
struct Reply {
    // Larger replies are refused before anything is allocated for them; the largest the
    // services send (thousands of offers) are a few megabytes.
    static constexpr std::size_t kMaxBytes = std::size_t(64) << 20;
    // Deeper replies are refused: xmlrpc-epi frees and copies values recursively. The
    // services' replies nest fewer than ten elements.
    static constexpr int kMaxDepth = 1000;

    // Reads exactly `length` bytes at `data` (no terminator needed) in one pass of expat,
    // making xmlrpc-epi's values as it goes. Text values hold UTF-8, whatever the reply's
    // encoding. Never throws.
    static Reply Read(const char* data, std::size_t length);

    bool usable = false;  // a well-formed methodResponse of XML-RPC's shape, holding a value
    bool fault = false;   // usable, and the value is the struct of a <fault>
    Value value;          // the params' value or the fault's struct; null unless usable
    QString error;        // why it is not usable: what was found, and where
};

}  // namespace xmlrpc
