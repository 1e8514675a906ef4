#include "regengine/print/Pdf417.h"

#include "ZxingDecode.h"

#include <gtest/gtest.h>

#include <QImage>

#include <set>

using namespace engine;

namespace {

constexpr int kColumns = 10;
constexpr int kRows = 89;
constexpr int kClusters[] = {0, 3, 6};

int power(int base, int exponent)
{
    int result = 1;
    for (int i = 0; i < exponent; ++i)
        result = result * base % 929;
    return result;
}

// C(x) at x, the first codeword the highest power.
int evaluate(const std::vector<int>& codewords, int x)
{
    int value = 0;
    for (int c : codewords)
        value = (value * x + c) % 929;
    return value;
}

std::vector<int> fullCodewords(const QByteArray& bytes)
{
    std::vector<int> codewords = Pdf417ByteCompact(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                   std::size_t(bytes.size()), kColumns, kRows);
    Pdf417ComputeEC(codewords);
    return codewords;
}

// The symbol as an image: 3 pixels per module across, 6 down (the printed 1:2 ratio), with
// a quiet zone.
QImage symbolImage(const Pdf417Symbol& symbol)
{
    const int sx = 3, sy = 6, quiet = 12;
    QImage image(symbol.width * sx + 2 * quiet, symbol.rows * sy + 2 * quiet, QImage::Format_Grayscale8);
    image.fill(255);
    for (int r = 0; r < symbol.rows; ++r)
        for (int c = 0; c < symbol.width; ++c)
            if (symbol.Dark(r, c))
                for (int y = 0; y < sy; ++y)
                    for (int x = 0; x < sx; ++x)
                        image.setPixel(quiet + c * sx + x, quiet + r * sy + y, qRgb(0, 0, 0));
    return image;
}

QByteArray bytesOfLength(int n)
{
    QByteArray bytes;
    for (int i = 0; i < n; ++i)
        bytes.append(char('A' + i % 26));
    return bytes;
}

int codewordOfPattern(int cluster, std::uint32_t mask)
{
    for (int cw = 0; cw <= kPdf417MaxCodeword; ++cw)
        if (Pdf417Pattern(cluster, cw) == mask)
            return cw;
    return -1;
}

std::uint32_t maskAt(const Pdf417Symbol& symbol, int row, int firstModule)
{
    std::uint32_t mask = 0;
    for (int m = 0; m < 17; ++m)
        mask = mask << 1 | (symbol.Dark(row, firstModule + m) ? 1u : 0u);
    return mask;
}

}  // namespace

// The standard's table as we keep it: every pattern is a codeword shape of its own cluster.
TEST(Pdf417Patterns, EveryPatternHasFourBarsAndSpacesOfItsCluster)
{
    for (int cluster : kClusters) {
        std::set<std::uint32_t> seen;
        for (int cw = 0; cw <= kPdf417MaxCodeword; ++cw) {
            const std::uint32_t mask = Pdf417Pattern(cluster, cw);
            const std::array<int, 8> w = Pdf417Widths(cluster, cw);
            int sum = 0;
            for (int width : w) {
                EXPECT_GE(width, 1) << "cluster " << cluster << " codeword " << cw;
                EXPECT_LE(width, 6) << "cluster " << cluster << " codeword " << cw;
                sum += width;
            }
            EXPECT_EQ(sum, 17) << "cluster " << cluster << " codeword " << cw;
            EXPECT_TRUE(mask & 0x10000u) << "starts with a bar: codeword " << cw;
            EXPECT_FALSE(mask & 0x1u) << "ends with a space: codeword " << cw;
            EXPECT_EQ((w[0] - w[2] + w[4] - w[6] + 9) % 9, cluster) << "cluster rule: codeword " << cw;
            seen.insert(mask);
        }
        EXPECT_EQ(seen.size(), 929u) << "cluster " << cluster;
    }
    EXPECT_EQ(Pdf417Pattern(1, 0), 0u);
    EXPECT_EQ(Pdf417Pattern(0, 929), 0u);
    EXPECT_EQ(Pdf417Pattern(0, -1), 0u);
}

TEST(Pdf417ErrorCorrection, GeneratorHasTheRootsThreeToTheI)
{
    for (int level = 0; level <= 8; ++level) {
        const std::vector<int>& a = Pdf417EcCoefficients(level);
        ASSERT_EQ(int(a.size()), Pdf417EcCount(level));
        for (int i = 1; i <= int(a.size()); ++i) {
            const int x = power(3, i);
            int value = 1;  // the leading coefficient, highest power first
            for (std::size_t j = a.size(); j-- > 0;)
                value = (value * x + a[j]) % 929;
            EXPECT_EQ(value, 0) << "level " << level << " root 3^" << i;
        }
    }
    // (x - 3)(x - 9) = x^2 - 12x + 27.
    EXPECT_EQ(Pdf417EcCoefficients(0), (std::vector<int>{27, 929 - 12}));
}

TEST(Pdf417ErrorCorrection, EverySyndromeOfASymbolIsZero)
{
    for (const QByteArray& bytes : {QByteArray("x"), bytesOfLength(6), bytesOfLength(500), bytesOfLength(910)}) {
        const std::vector<int> codewords = fullCodewords(bytes);
        ASSERT_EQ(codewords.size(), std::size_t(kColumns * kRows));
        for (int i = 1; i <= 128; ++i)
            EXPECT_EQ(evaluate(codewords, power(3, i)), 0) << bytes.size() << " bytes, syndrome " << i;
        std::vector<int> damaged = codewords;
        damaged[5] = (damaged[5] + 1) % 929;
        EXPECT_NE(evaluate(damaged, 3), 0);
    }
}

TEST(Pdf417ByteCompaction, LatchLengthAndPadding)
{
    struct Case {
        const char* name;
        int length;
        int latch;
        int used;  // codewords before the pad, descriptor and latch included
    } cases[] = {
        {"one byte", 1, 901, 3},
        {"six bytes make one group", 6, 924, 7},
        {"seven bytes: a group and a single byte", 7, 901, 8},
        {"910 bytes", 910, 901, 761},
        {"911 bytes fill the symbol", 911, 901, 762},
        {"912 bytes, 152 groups", 912, 924, 762},
    };
    for (const Case& c : cases) {
        const QByteArray bytes = bytesOfLength(c.length);
        const std::vector<int> codewords = Pdf417ByteCompact(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                             std::size_t(bytes.size()), kColumns, kRows);
        ASSERT_EQ(codewords.size(), 762u) << c.name;
        EXPECT_EQ(codewords[0], 762) << c.name;
        EXPECT_EQ(codewords[1], c.latch) << c.name;
        for (std::size_t i = std::size_t(c.used); i < codewords.size(); ++i)
            ASSERT_EQ(codewords[i], 900) << c.name << " pad at " << i;
        for (int cw : codewords)
            ASSERT_TRUE(cw >= 0 && cw <= 928) << c.name;
    }
    // Six bytes 0x01..0x06 as one base-900 number.
    const std::uint8_t group[] = {1, 2, 3, 4, 5, 6};
    const std::vector<int> one = Pdf417ByteCompact(group, 6, kColumns, kRows);
    std::uint64_t value = 0;
    for (int k = 2; k < 7; ++k)
        value = value * 900 + std::uint64_t(one[std::size_t(k)]);
    EXPECT_EQ(value, 0x010203040506ull);
}

TEST(Pdf417ByteCompaction, RefusesWhatDoesNotFit)
{
    EXPECT_EQ(Pdf417ByteCapacity(kColumns, kRows), 912u);
    const QByteArray tooLong = bytesOfLength(913);
    EXPECT_TRUE(
        Pdf417ByteCompact(reinterpret_cast<const std::uint8_t*>(tooLong.constData()), 913, kColumns, kRows).empty());
    EXPECT_FALSE(Pdf417EncodeText(tooLong.constData(), 913, kColumns, kRows).IsValid());
    // Sizes the standard does not have.
    EXPECT_EQ(Pdf417ByteCapacity(31, 10), 0u);
    EXPECT_EQ(Pdf417ByteCapacity(10, 2), 0u);
    EXPECT_EQ(Pdf417ByteCapacity(30, 90), 0u);  // 2,700 codewords
    EXPECT_EQ(Pdf417ByteCapacity(2, 60), 0u);   // no room beside 128 correction codewords
    // Such a size refuses even an empty text (it once asked for a vector of negative size).
    EXPECT_FALSE(Pdf417EncodeText("", 0, 24, 3).IsValid());
    EXPECT_TRUE(Pdf417ByteCompact(nullptr, 0, 24, 3).empty());
    EXPECT_TRUE(Pdf417EncodeText("", 0, kColumns, kRows).IsValid());
}

TEST(Pdf417Render, RowsCarryStartIndicatorsAndStop)
{
    const Pdf417Symbol symbol = Pdf417EncodeText("hello", 5, kColumns, kRows);
    ASSERT_TRUE(symbol.IsValid());
    EXPECT_EQ(symbol.width, 17 * kColumns + 69);
    EXPECT_EQ(symbol.rows, kRows);
    const std::vector<int> codewords = fullCodewords("hello");
    for (int r = 0; r < kRows; ++r) {
        const QByteArray row = symbol.modules.mid(qsizetype(r) * symbol.width, symbol.width);
        EXPECT_TRUE(row.startsWith("11111111010101000")) << r;
        EXPECT_TRUE(row.endsWith("111111101000101001")) << r;
        const int cluster = (r % 3) * 3;
        const int g = r / 3;
        const int left = codewordOfPattern(cluster, maskAt(symbol, r, 17));
        const int right = codewordOfPattern(cluster, maskAt(symbol, r, 17 * (kColumns + 2)));
        const int expectLeft[] = {30 * g + 29, 30 * g + 18 + 1, 30 * g + 9};
        const int expectRight[] = {30 * g + 9, 30 * g + 29, 30 * g + 18 + 1};
        EXPECT_EQ(left, expectLeft[r % 3]) << "row " << r;
        EXPECT_EQ(right, expectRight[r % 3]) << "row " << r;
        for (int c = 0; c < kColumns; ++c)
            ASSERT_EQ(codewordOfPattern(cluster, maskAt(symbol, r, 17 * (c + 2))),
                      codewords[std::size_t(r * kColumns + c)]);
    }
}

TEST(Pdf417Render, RefusesCodewordsOutsideTheTable)
{
    std::vector<int> codewords(kColumns * kRows, 900);
    EXPECT_TRUE(Pdf417Render(codewords, kColumns, kRows).IsValid());
    for (int bad : {929, -1}) {
        codewords[17] = bad;
        EXPECT_FALSE(Pdf417Render(codewords, kColumns, kRows).IsValid()) << bad;
    }
    codewords.pop_back();
    EXPECT_FALSE(Pdf417Render(codewords, kColumns, kRows).IsValid());
}

// zxing-cpp reads our symbols back to the same bytes.
TEST(Pdf417Render, AStandardReaderDecodesTheBytes)
{
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"one byte", "Z"},
        {"six bytes", "ABCDEF"},
        {"910 bytes", bytesOfLength(910)},
        {"911 bytes", bytesOfLength(911)},
        {"912 bytes", bytesOfLength(912)},
        {"every byte value", everyByte},
        {"UTF-8 text", QStringLiteral("NAME:Zoë Þórsdóttir\tCITY:Москва\tNOTE:東京 ✓\t").toUtf8()},
    };
    for (const auto& c : cases) {
        const Pdf417Symbol symbol = Pdf417EncodeText(c.bytes.constData(), std::size_t(c.bytes.size()), kColumns, kRows);
        ASSERT_TRUE(symbol.IsValid()) << c.name;
        const auto decoded = printtest::decodePdf417(symbolImage(symbol));
        ASSERT_TRUE(decoded.has_value()) << c.name;
        EXPECT_EQ(*decoded, c.bytes) << c.name;
    }
}
