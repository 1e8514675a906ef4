// Any bytes as a monitor's EDID file. The reader must not crash or read past them; a block
// it takes must have been 128 bytes at least, and its maker id three letters.
#include "platform/hardware/Edid.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<platform::EdidInfo> info = platform::parseEdid(bytes);
    if (!info)
        return 0;
    if (size < 128 || info->manufacturer.size() != 3 || info->name.size() > 13)
        std::abort();
    if (platform::edidDisplayName(*info).isEmpty())
        std::abort();
    return 0;
}
