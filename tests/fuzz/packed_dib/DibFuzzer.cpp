// Any bytes as a bitmap resource. The reader must refuse what it cannot draw without
// reading past the bytes, and a bitmap it accepts must decode to exactly its pixel count.
#include "regengine/core/PackedDib.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<engine::PackedDib> dib = engine::PackedDib::Parse(bytes);
    if (!dib)
        return 0;
    if (dib->bitsOffset + dib->stride * dib->height > qsizetype(size) || dib->width <= 0 || dib->height <= 0 ||
        int(dib->colors.size()) != dib->numColors) {
        std::fprintf(stderr, "accepted an inconsistent bitmap: %d x %d, rows at %lld\n", dib->width, dib->height,
                     static_cast<long long>(dib->bitsOffset));
        std::abort();
    }
    if (dib->Decode(bytes).size() != size_t(dib->width) * size_t(dib->height))
        std::abort();
    return 0;
}
