#pragma once

#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace engine {

// A packed device-independent bitmap as a bitmap resource holds it: a header (the 12-byte
// core form or the 40-byte info form and its longer successors), the colour table, then
// the rows. The reader checks every size and offset against the data before anything is
// read, so a short or lying resource is refused instead of read past its end.
struct PackedDib {
    enum class Header { Core, Info };

    // Largest side accepted; larger pictures are no page ornament.
    static constexpr int kMaxSide = 16384;

    Header header = Header::Info;
    quint32 headerSize = 0;
    int width = 0;
    int height = 0;        // always positive
    bool topDown = false;  // rows stored from the top (a negative height in the header)
    int bitCount = 0;
    quint32 compression = 0;
    int numColors = 0;               // entries of the colour table
    int paletteSize = 0;             // its bytes: 4 per entry, 3 for a core header
    qsizetype bitsOffset = 0;        // header, bit-field masks and colour table
    qsizetype stride = 0;            // bytes per row, a multiple of 4
    std::vector<quint32> colors;     // the table as 0xFFRRGGBB
    std::array<quint32, 3> masks{};  // red, green, blue for 16 and 32 bits

    // The header and table of `data`; nullopt with a reason in `error` when the data is no
    // bitmap this reader draws: unknown header, RLE or other compression, a bit count other
    // than 1, 4, 8, 16, 24 or 32, a side of 0 or beyond kMaxSide, or less data than the
    // header, the table and the rows need.
    static std::optional<PackedDib> Parse(QByteArrayView data, QString* error = nullptr);

    // The pixels of a parsed bitmap, top row first, each 0xFFRRGGBB. `data` must be the data
    // Parse accepted. An index beyond the colour table gives black.
    std::vector<quint32> Decode(QByteArrayView data) const;
};

}  // namespace engine
