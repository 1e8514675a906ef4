// Any bytes as one of the kernel's or CUPS's text files: the first byte picks the reader,
// the rest is the file. No reader may crash or read past the bytes, and what it returns
// must hang together.
#include "platform/hardware/HardwareText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 5) {
    case 0:
        if (const auto cpu = platform::parseCpuInfo(text); cpu && (cpu->vendor.isEmpty() || cpu->vendor.size() > 12))
            std::abort();
        break;
    case 1:
        if (const auto mem = platform::parseMemInfo(text); mem && mem->totalPhysical % 1024 != 0)
            std::abort();
        break;
    case 2:
        if (const auto name = platform::parseSoundCards(text); name && name->isEmpty())
            std::abort();
        break;
    case 3:
        if (const auto version = platform::parseSoundVersion(text);
            version && (version->isEmpty() || version->size() > 64))
            std::abort();
        break;
    default:
        if (const auto dest = platform::parseCupsDefault(text); dest && (dest->isEmpty() || dest->contains(u' ')))
            std::abort();
        break;
    }
    return 0;
}
