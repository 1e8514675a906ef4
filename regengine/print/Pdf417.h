#pragma once

#include <QByteArray>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine {

// A PDF417 symbol as modules: `modules` holds `rows` rows of `width` characters, '1' dark
// and '0' light. Every row is the start pattern, the left row indicator, the data columns,
// the right row indicator and the stop pattern, so width = 17 x columns + 69.
struct Pdf417Symbol {
    int width = 0;
    int rows = 0;
    QByteArray modules;

    bool IsValid() const { return width > 0 && rows > 0 && modules.size() == qsizetype(width) * rows; }
    bool Dark(int row, int column) const { return modules.at(qsizetype(row) * width + column) == '1'; }
};

// The form's fixed error-correction level: 2^(6+1) = 128 correction codewords.
inline constexpr int kPdf417Level = 6;
inline constexpr int kPdf417MaxCodeword = 928;

// The number of error-correction codewords of a level (0 to 8), 2^(level+1).
int Pdf417EcCount(int level);

// The most bytes that byte compaction fits into a symbol of this size at kPdf417Level;
// 0 for a size the standard does not allow (3 to 90 rows, 1 to 30 columns, at most 928
// codewords).
std::size_t Pdf417ByteCapacity(int columns, int rows);

// Byte compaction: columns x rows codewords, the symbol length descriptor first, then the
// latch (924 for a length that is a multiple of 6, else 901), five base-900 codewords per
// six bytes, one per byte left over, and pad codewords (900) up to the data part's end.
// Empty when the bytes do not fit (see Pdf417ByteCapacity): a symbol never loses data.
std::vector<int> Pdf417ByteCompact(const std::uint8_t* bytes, std::size_t length, int columns, int rows);

// The generator polynomial's coefficients of a level, a[0] .. a[k-1] (the leading 1 left
// out): the product of (x - 3^i) for i = 1 .. k, modulo 929.
const std::vector<int>& Pdf417EcCoefficients(int level);

// Appends the Reed-Solomon codewords over GF(929) of every codeword present, in the order
// they are printed (e[k-1] down to e[0]).
void Pdf417ComputeEC(std::vector<int>& codewords, int level = kPdf417Level);

// Lays out `codewords` (exactly columns x rows, each 0 to 928) as a symbol; an invalid
// symbol for anything else.
Pdf417Symbol Pdf417Render(const std::vector<int>& codewords, int columns, int rows, int level = kPdf417Level);

// Byte compaction, error correction and layout. An invalid symbol when the bytes exceed
// the symbol's capacity.
Pdf417Symbol Pdf417EncodeText(const char* bytes, std::size_t length, int columns, int rows);

// The 17-module pattern of `codeword` in cluster 0, 3 or 6, the first module in bit 16;
// 0 for any other cluster or a codeword outside 0 to 928.
std::uint32_t Pdf417Pattern(int cluster, int codeword);

// The same pattern as the widths of its four bars and four spaces, bar first.
std::array<int, 8> Pdf417Widths(int cluster, int codeword);

}  // namespace engine
