// Any bytes as a server's reply. The reader must not crash, leak or read past them; its
// result must hang together; and what it reads must be what xmlrpc-epi's own parse makes of
// the same bytes, which is safe to run once the reader has found them well-formed.
extern "C" {
#include <xml_to_xmlrpc.h>
}

#include "common/xmlrpc/Reply.h"

#include "tests/common/xmlrpc/ValueDump.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const xmlrpc::Reply reply = xmlrpc::Reply::Read(bytes, size);
    if (reply.usable != bool(reply.value) || reply.usable == !reply.error.isEmpty() || (reply.fault && !reply.usable)) {
        std::fprintf(stderr, "inconsistent result: usable %d, value %p, fault %d, error \"%s\"\n", reply.usable,
                     static_cast<void*>(reply.value.get()), reply.fault, qPrintable(reply.error));
        std::abort();
    }
    if (!reply.usable || size == 0)
        return 0;
    XMLRPC_REQUEST reference = XMLRPC_REQUEST_FromXML(bytes, int(size), nullptr);
    const std::string expected = xmlrpctest::dump(XMLRPC_RequestGetData(reference));
    XMLRPC_RequestFree(reference, 1);
    const std::string ours = xmlrpctest::dump(reply.value.get());
    if (ours != expected) {
        std::fprintf(stderr, "values differ\nours:       %s\nxmlrpc-epi: %s\n", ours.c_str(), expected.c_str());
        std::abort();
    }
    return 0;
}
