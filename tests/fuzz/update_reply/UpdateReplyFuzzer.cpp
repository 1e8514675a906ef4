// Any bytes as the update server's reply. The reader must not crash, leak or read past
// them; a success must carry a value, and a fault must never read as success.
#include "launcher/update/UpdateRpc.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    xmlrpc::Value value;
    const int code = launcher::UpdateRpc::ReadReply(body, &value);
    if ((code == launcher::UpdateRpc::kOk) != bool(value))
        std::abort();
    if (code == launcher::UpdateRpc::kOk && XMLRPC_GetValueTypeEasy(value.get()) == xmlrpc_type_none)
        std::abort();
    return 0;
}
