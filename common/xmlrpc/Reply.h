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
    // More values are refused: each costs a few hundred bytes of heap against a few bytes
    // of reply, so without a count a reply under kMaxBytes could still cost gigabytes. The
    // largest replies (10,000 offers) make some 60,000.
    static constexpr std::size_t kMaxValues = 1000000;

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
