#include "regengine/print/Pdf417.h"

#include "regengine/core/EngineTrace.h"

#include "platform/text/Format.h"

#include <array>
#include <mutex>

namespace engine {

namespace {

constexpr int kModulus = 929;
constexpr int kPadCodeword = 900;
constexpr int kByteLatch = 901;
constexpr int kByteLatchSix = 924;
constexpr char kStartPattern[] = "11111111010101000";
constexpr char kStopPattern[] = "111111101000101001";

// One row of the standard's table: the bar-space widths of a codeword in the three
// clusters, written as eight decimal digits.
struct PatternRow {
    std::uint32_t widths[3];
};

constexpr PatternRow kPatternRows[] = {
#include "regengine/print/Pdf417Patterns.inc"
};
static_assert(std::size(kPatternRows) == kPdf417MaxCodeword + 1, "one table row per codeword");

// Widths "31111136" become the module mask 11101010111000000: bars set, spaces clear.
constexpr std::uint32_t maskOfWidths(std::uint32_t digits)
{
    std::array<int, 8> widths{};
    for (int i = 7; i >= 0; --i) {
        widths[i] = int(digits % 10);
        digits /= 10;
    }
    std::uint32_t mask = 0;
    for (int i = 0; i < 8; ++i) {
        for (int m = 0; m < widths[i]; ++m)
            mask = (mask << 1) | (i % 2 == 0 ? 1u : 0u);
    }
    return mask;
}

constexpr auto kMasks = [] {
    std::array<std::array<std::uint32_t, kPdf417MaxCodeword + 1>, 3> masks{};
    for (int c = 0; c < 3; ++c)
        for (int cw = 0; cw <= kPdf417MaxCodeword; ++cw)
            masks[c][cw] = maskOfWidths(kPatternRows[cw].widths[c]);
    return masks;
}();

bool allowedSize(int columns, int rows)
{
    return columns >= 1 && columns <= 30 && rows >= 3 && rows <= 90 && columns * rows <= kPdf417MaxCodeword;
}

// Codewords that byte compaction makes of `length` bytes, the latch included.
std::size_t byteCodewords(std::size_t length)
{
    return 1 + length / 6 * 5 + length % 6;
}

void appendPattern(char*& out, std::uint32_t mask, int modules)
{
    for (int bit = modules - 1; bit >= 0; --bit)
        *out++ = (mask >> bit) & 1u ? '1' : '0';
}

void appendText(char*& out, const char* text, int modules)
{
    for (int i = 0; i < modules; ++i)
        *out++ = text[i];
}

}  // namespace

int Pdf417EcCount(int level)
{
    return level >= 0 && level <= 8 ? 2 << level : 0;
}

std::size_t Pdf417ByteCapacity(int columns, int rows)
{
    if (!allowedSize(columns, rows))
        return 0;
    const int dataCodewords = columns * rows - Pdf417EcCount(kPdf417Level);
    if (dataCodewords < 2)
        return 0;
    // The largest length whose latch and groups fit beside the length descriptor.
    const std::size_t room = std::size_t(dataCodewords - 1);
    std::size_t length = (room - 1) / 5 * 6;
    while (byteCodewords(length + 1) <= room)
        ++length;
    return length;
}

std::vector<int> Pdf417ByteCompact(const std::uint8_t* bytes, std::size_t length, int columns, int rows)
{
    // A size without room for the length descriptor and the latch holds nothing, not even
    // no bytes: its capacity of 0 must not let an empty text through.
    if (!allowedSize(columns, rows))
        return {};
    const int total = columns * rows;
    const int dataCodewords = total - Pdf417EcCount(kPdf417Level);
    if (dataCodewords < 2 || length > Pdf417ByteCapacity(columns, rows))
        return {};
    std::vector<int> codewords(std::size_t(dataCodewords), kPadCodeword);
    codewords[0] = dataCodewords;
    codewords[1] = length % 6 == 0 ? kByteLatchSix : kByteLatch;
    std::size_t at = 2;
    std::size_t i = 0;
    for (; i + 6 <= length; i += 6) {
        std::uint64_t value = 0;
        for (std::size_t b = 0; b < 6; ++b)
            value = value << 8 | bytes[i + b];
        for (int k = 4; k >= 0; --k) {
            codewords[at + std::size_t(k)] = int(value % 900);
            value /= 900;
        }
        at += 5;
    }
    for (; i < length; ++i)
        codewords[at++] = bytes[i];
    return codewords;
}

const std::vector<int>& Pdf417EcCoefficients(int level)
{
    static std::array<std::vector<int>, 9> tables;
    static std::once_flag once;
    std::call_once(once, [] {
        for (int l = 0; l <= 8; ++l) {
            // Low degree first; multiplied by (x - 3^i) one root at a time.
            std::vector<int> poly{1};
            int root = 1;
            for (int i = 1; i <= Pdf417EcCount(l); ++i) {
                root = root * 3 % kModulus;
                std::vector<int> next(poly.size() + 1, 0);
                for (std::size_t j = 0; j < poly.size(); ++j) {
                    next[j + 1] = (next[j + 1] + poly[j]) % kModulus;
                    next[j] = (next[j] + kModulus - root * poly[j] % kModulus) % kModulus;
                }
                poly = std::move(next);
            }
            poly.pop_back();  // the leading 1
            tables[std::size_t(l)] = std::move(poly);
        }
    });
    static const std::vector<int> none;
    return level >= 0 && level <= 8 ? tables[std::size_t(level)] : none;
}

void Pdf417ComputeEC(std::vector<int>& codewords, int level)
{
    const std::vector<int>& a = Pdf417EcCoefficients(level);
    const std::size_t k = a.size();
    if (k == 0)
        return;
    std::vector<int> e(k, 0);
    for (int codeword : codewords) {
        const int t = (codeword + e[k - 1]) % kModulus;
        for (std::size_t j = k - 1; j >= 1; --j)
            e[j] = (e[j - 1] + kModulus - t * a[j] % kModulus) % kModulus;
        e[0] = (kModulus - t * a[0] % kModulus) % kModulus;
    }
    for (std::size_t j = k; j-- > 0;)
        codewords.push_back(e[j] == 0 ? 0 : kModulus - e[j]);
}

Pdf417Symbol Pdf417Render(const std::vector<int>& codewords, int columns, int rows, int level)
{
    if (!allowedSize(columns, rows) || codewords.size() != std::size_t(columns) * std::size_t(rows) ||
        Pdf417EcCount(level) == 0)
        return {};
    for (int codeword : codewords) {
        if (codeword < 0 || codeword > kPdf417MaxCodeword)
            return {};
    }
    Pdf417Symbol symbol;
    symbol.width = 17 * columns + 69;
    symbol.rows = rows;
    symbol.modules.resize(qsizetype(symbol.width) * rows);
    char* out = symbol.modules.data();
    const bool tracing = GetTraceDisplayer() != nullptr;
    std::size_t next = 0;
    for (int r = 0; r < rows; ++r) {
        const int group = r / 3;
        const int cluster = r % 3;
        const int rowsPart = 30 * group + (rows - 1) / 3;
        const int levelPart = 30 * group + 3 * level + (rows - 1) % 3;
        const int columnsPart = 30 * group + columns - 1;
        const int left = cluster == 0 ? rowsPart : cluster == 1 ? levelPart : columnsPart;
        const int right = cluster == 0 ? columnsPart : cluster == 1 ? rowsPart : levelPart;
        QString trace;
        if (tracing)
            trace = platform::formatText(QStringLiteral("%2d: "), r);
        appendText(out, kStartPattern, 17);
        appendPattern(out, kMasks[std::size_t(cluster)][std::size_t(left)], 17);
        for (int c = 0; c < columns; ++c) {
            const int codeword = codewords[next++];
            if (tracing)
                trace += platform::formatText(QStringLiteral("%4i"), codeword);
            appendPattern(out, kMasks[std::size_t(cluster)][std::size_t(codeword)], 17);
        }
        appendPattern(out, kMasks[std::size_t(cluster)][std::size_t(right)], 17);
        appendText(out, kStopPattern, 18);
        if (tracing)
            EngineTrace(trace);
    }
    return symbol;
}

Pdf417Symbol Pdf417EncodeText(const char* bytes, std::size_t length, int columns, int rows)
{
    std::vector<int> codewords = Pdf417ByteCompact(reinterpret_cast<const std::uint8_t*>(bytes), length, columns, rows);
    if (codewords.empty())
        return {};
    Pdf417ComputeEC(codewords, kPdf417Level);
    return Pdf417Render(codewords, columns, rows, kPdf417Level);
}

std::uint32_t Pdf417Pattern(int cluster, int codeword)
{
    if ((cluster != 0 && cluster != 3 && cluster != 6) || codeword < 0 || codeword > kPdf417MaxCodeword)
        return 0;
    return kMasks[std::size_t(cluster / 3)][std::size_t(codeword)];
}

std::array<int, 8> Pdf417Widths(int cluster, int codeword)
{
    std::array<int, 8> widths{};
    const std::uint32_t mask = Pdf417Pattern(cluster, codeword);
    if (mask == 0)
        return widths;
    int run = 0;
    for (int bit = 16; bit >= 0; --bit) {
        const bool dark = (mask >> bit) & 1u;
        const bool nextDark = bit > 0 && ((mask >> (bit - 1)) & 1u);
        ++widths[std::size_t(run)];
        if (bit > 0 && dark != nextDark && ++run == 8)
            break;  // more than four bars: not a codeword pattern
    }
    return widths;
}

}  // namespace engine
