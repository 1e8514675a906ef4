#include "regengine/core/PackedDib.h"

#include <bit>

namespace engine {

namespace {

constexpr quint32 kCoreHeaderSize = 12;
constexpr quint32 kInfoHeaderSize = 40;
constexpr quint32 kRgb = 0;
constexpr quint32 kBitFields = 3;

quint16 u16(QByteArrayView d, qsizetype at)
{
    return quint16(quint8(d[at]) | quint8(d[at + 1]) << 8);
}

quint32 u32(QByteArrayView d, qsizetype at)
{
    return quint32(u16(d, at)) | quint32(u16(d, at + 2)) << 16;
}

bool fail(QString* error, const QString& why)
{
    if (error != nullptr)
        *error = why;
    return false;
}

// One channel through its mask, as 8 bits; a narrower channel is shifted up, as the
// system's own drawing does (5 bits of 31 give 0xF8).
quint32 channel(quint32 pixel, quint32 mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask >> shift);
    const quint32 v = (pixel & mask) >> shift;
    return bits >= 8 ? (v >> (bits - 8)) & 0xFF : (v << (8 - bits)) & 0xFF;
}

bool readHeader(QByteArrayView d, PackedDib& dib, QString* error)
{
    if (d.size() < 4)
        return fail(error, QStringLiteral("bitmap shorter than its header size"));
    dib.headerSize = u32(d, 0);
    if (dib.headerSize == kCoreHeaderSize) {
        if (d.size() < qsizetype(kCoreHeaderSize))
            return fail(error, QStringLiteral("bitmap shorter than its core header"));
        dib.header = PackedDib::Header::Core;
        dib.width = u16(d, 4);
        dib.height = u16(d, 6);
        dib.bitCount = u16(d, 10);
        if (dib.bitCount == 16 || dib.bitCount == 32)
            return fail(error, QStringLiteral("core-header bitmap with %1 bits per pixel").arg(dib.bitCount));
        return true;
    }
    // The longer info headers (52, 56, 108, 124 bytes) begin with the 40-byte one.
    if (dib.headerSize != kInfoHeaderSize && dib.headerSize != 52 && dib.headerSize != 56 && dib.headerSize != 108 &&
        dib.headerSize != 124)
        return fail(error, QStringLiteral("unknown bitmap header size %1").arg(dib.headerSize));
    if (d.size() < qsizetype(dib.headerSize))
        return fail(error, QStringLiteral("bitmap shorter than its %1-byte header").arg(dib.headerSize));
    dib.header = PackedDib::Header::Info;
    const qint32 width = qint32(u32(d, 4));
    const qint32 height = qint32(u32(d, 8));
    dib.bitCount = u16(d, 14);
    dib.compression = u32(d, 16);
    if (width <= 0 || height == 0 || height == qint32(0x80000000))
        return fail(error, QStringLiteral("bitmap of %1 by %2 pixels").arg(width).arg(height));
    dib.width = width;
    dib.topDown = height < 0;
    dib.height = height < 0 ? -height : height;
    if (dib.compression != kRgb && dib.compression != kBitFields)
        return fail(error, QStringLiteral("compressed bitmap (compression %1) not drawn").arg(dib.compression));
    if (dib.compression == kBitFields && dib.bitCount != 16 && dib.bitCount != 32)
        return fail(error, QStringLiteral("bit-field masks on a %1-bit bitmap").arg(dib.bitCount));
    return true;
}

}  // namespace

std::optional<PackedDib> PackedDib::Parse(QByteArrayView d, QString* error)
{
    PackedDib dib;
    if (!readHeader(d, dib, error))
        return std::nullopt;
    switch (dib.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: fail(error, QStringLiteral("bitmap with %1 bits per pixel").arg(dib.bitCount)); return std::nullopt;
    }
    if (dib.width == 0 || dib.height == 0 || dib.width > kMaxSide || dib.height > kMaxSide) {
        fail(error, QStringLiteral("bitmap of %1 by %2 pixels").arg(dib.width).arg(dib.height));
        return std::nullopt;
    }

    qsizetype offset = dib.headerSize;
    // The masks of a 40-byte header follow it and come before the colour table; the longer
    // headers hold them inside.
    if (dib.header == Header::Info) {
        if (dib.compression == kBitFields) {
            const qsizetype at = dib.headerSize == kInfoHeaderSize ? offset : 40;
            if (dib.headerSize == kInfoHeaderSize)
                offset += 12;
            if (d.size() < at + 12) {
                fail(error, QStringLiteral("bitmap shorter than its bit-field masks"));
                return std::nullopt;
            }
            dib.masks = {u32(d, at), u32(d, at + 4), u32(d, at + 8)};
        } else if (dib.bitCount == 16) {
            dib.masks = {0x7C00, 0x03E0, 0x001F};
        } else if (dib.bitCount == 32) {
            dib.masks = {0xFF0000, 0x00FF00, 0x0000FF};
        }
    }

    quint32 used = dib.header == Header::Info ? u32(d, 32) : 0;
    if (used == 0)
        used = dib.bitCount <= 8 ? 1u << dib.bitCount : 0;
    // A table longer than the largest index can reach is no palette this reader needs.
    if (used > 256) {
        fail(error, QStringLiteral("bitmap with a colour table of %1 entries").arg(used));
        return std::nullopt;
    }
    dib.numColors = int(used);
    const int entry = dib.header == Header::Core ? 3 : 4;
    dib.paletteSize = dib.numColors * entry;
    if (d.size() < offset + dib.paletteSize) {
        fail(error, QStringLiteral("bitmap shorter than its colour table"));
        return std::nullopt;
    }
    dib.colors.reserve(size_t(dib.numColors));
    for (int i = 0; i < dib.numColors; ++i) {
        const qsizetype at = offset + qsizetype(i) * entry;
        dib.colors.push_back(0xFF000000u | quint32(quint8(d[at + 2])) << 16 | quint32(quint8(d[at + 1])) << 8 |
                             quint8(d[at]));
    }
    dib.bitsOffset = offset + dib.paletteSize;
    dib.stride = ((qint64(dib.width) * dib.bitCount + 31) / 32) * 4;
    const qint64 need = qint64(dib.stride) * dib.height;
    if (d.size() - dib.bitsOffset < need) {
        fail(error, QStringLiteral("bitmap of %1 by %2 pixels needs %3 bytes of rows, has %4")
                        .arg(dib.width)
                        .arg(dib.height)
                        .arg(need)
                        .arg(d.size() - dib.bitsOffset));
        return std::nullopt;
    }
    return dib;
}

std::vector<quint32> PackedDib::Decode(QByteArrayView d) const
{
    std::vector<quint32> out(size_t(width) * size_t(height));
    auto indexed = [this](quint32 i) { return i < colors.size() ? colors[i] : 0xFF000000u; };
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        const auto* row = reinterpret_cast<const quint8*>(d.data() + bitsOffset + qsizetype(stored) * stride);
        quint32* px = out.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            switch (bitCount) {
            case 1: px[x] = indexed(row[x >> 3] >> (7 - (x & 7)) & 1); break;
            case 4: px[x] = indexed(row[x >> 1] >> ((x & 1) ? 0 : 4) & 0xF); break;
            case 8: px[x] = indexed(row[x]); break;
            case 16: {
                const quint32 v = quint32(row[2 * x]) | quint32(row[2 * x + 1]) << 8;
                px[x] = 0xFF000000u | channel(v, masks[0]) << 16 | channel(v, masks[1]) << 8 | channel(v, masks[2]);
                break;
            }
            case 24:
                px[x] = 0xFF000000u | quint32(row[3 * x + 2]) << 16 | quint32(row[3 * x + 1]) << 8 | row[3 * x];
                break;
            case 32: {
                const quint32 v = quint32(row[4 * x]) | quint32(row[4 * x + 1]) << 8 | quint32(row[4 * x + 2]) << 16 |
                                  quint32(row[4 * x + 3]) << 24;
                // The fourth byte is no alpha to the drawing this stands in for.
                px[x] = 0xFF000000u | channel(v, masks[0]) << 16 | channel(v, masks[1]) << 8 | channel(v, masks[2]);
                break;
            }
            default: break;
            }
        }
    }
    return out;
}

}  // namespace engine
