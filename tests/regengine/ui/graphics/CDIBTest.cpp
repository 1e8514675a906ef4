#include "regengine/core/PackedDib.h"
#include "regengine/ui/graphics/CDIB.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>

using namespace engine;

namespace {

QByteArray fixture(const char* name)
{
    QFile file(testsupport::sourceDir() + QStringLiteral("/tests/regengine/ui/fixtures/dib/") +
               QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// The same bitmap as a .bmp file, for Qt's own reader: the 14-byte file header in front,
// its offset the header, masks and colour table.
QImage readByQt(const QByteArray& dib, qsizetype bitsOffset)
{
    QByteArray file("BM");
    const auto le32 = [&file](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        file.append(b, 4);
    };
    le32(quint32(14 + dib.size()));
    le32(0);
    le32(quint32(14 + bitsOffset));
    file.append(dib);
    return QImage::fromData(file, "BMP").convertToFormat(QImage::Format_RGB32);
}

struct DecodeCase {
    const char* file;
    int width;
    int height;
    int numColors;
    int paletteSize;
    qsizetype bitsOffset;
};

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, MatchesQtsReaderPixelByPixel)
{
    const DecodeCase& c = GetParam();
    const QByteArray data = fixture(c.file);
    QString error;
    const std::optional<PackedDib> dib = PackedDib::Parse(data, &error);
    ASSERT_TRUE(dib) << error.toStdString();
    EXPECT_EQ(dib->width, c.width);
    EXPECT_EQ(dib->height, c.height);
    EXPECT_EQ(dib->numColors, c.numColors);
    EXPECT_EQ(dib->paletteSize, c.paletteSize);
    EXPECT_EQ(dib->bitsOffset, c.bitsOffset);

    CDIB picture;
    ASSERT_TRUE(picture.LoadFromData(data));
    const QImage theirs = readByQt(data, dib->bitsOffset);
    ASSERT_FALSE(theirs.isNull());
    ASSERT_EQ(theirs.size(), picture.Image().size());
    for (int y = 0; y < theirs.height(); ++y)
        for (int x = 0; x < theirs.width(); ++x)
            EXPECT_EQ(picture.Image().pixel(x, y) & 0xFFFFFF, theirs.pixel(x, y) & 0xFFFFFF)
                << c.file << " at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Bitmaps, DecodeTest,
    testing::Values(DecodeCase{"pal1.dib", 5, 3, 2, 8, 48}, DecodeCase{"pal4.dib", 7, 3, 16, 64, 104},
                    DecodeCase{"pal8.dib", 5, 4, 6, 24, 64},
                    // No colour table: the rows follow the header.
                    DecodeCase{"rgb24.dib", 3, 3, 0, 0, 40}, DecodeCase{"rgb32.dib", 3, 3, 0, 0, 40},
                    DecodeCase{"topdown24.dib", 3, 3, 0, 0, 40},
                    // The three masks after a 40-byte header come before the rows.
                    DecodeCase{"bitfields565.dib", 3, 3, 0, 0, 52},
                    // Core header: 3-byte table entries.
                    DecodeCase{"core8.dib", 4, 2, 256, 768, 780}, DecodeCase{"core24.dib", 3, 3, 0, 0, 12}),
    [](const testing::TestParamInfo<DecodeCase>& info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

TEST(PackedDibTest, RefusesWhatItCannotDrawOrWouldReadPastTheEnd)
{
    struct Case {
        const char* file;
        const char* reason;
    } cases[] = {
        {"truncated.dib", "needs"},
        {"huge.dib", "16000 by 16000"},
        {"rle8.dib", "compressed"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(PackedDib::Parse(fixture(c.file), &error)) << c.file;
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << c.file << ": " << error.toStdString();
        CDIB picture;
        EXPECT_FALSE(picture.LoadFromData(fixture(c.file))) << c.file;
        EXPECT_FALSE(picture.IsLoaded());
    }
}

TEST(PackedDibTest, EveryPrefixOfAGoodBitmapIsRefusedNotOverread)
{
    const QByteArray whole = fixture("bitfields565.dib");
    for (qsizetype n = 0; n < whole.size(); ++n)
        EXPECT_FALSE(PackedDib::Parse(QByteArrayView(whole.constData(), n))) << n;
    EXPECT_TRUE(PackedDib::Parse(whole));
}

TEST(PackedDibTest, ColourTableLongerThanAnIndexReachesIsRefused)
{
    QByteArray data = fixture("pal8.dib");
    data[32] = char(0x01);
    data[33] = char(0x01);  // 257 colours used
    EXPECT_FALSE(PackedDib::Parse(data));
}

TEST(CDIBTest, ResourceWithMaskDrawsPictureWhereTheMaskIsBlack)
{
    CDIB picture(QStringLiteral("regengine_ui_test"));
    ASSERT_TRUE(picture.LoadFromResourceName(QStringLiteral("LOGO")));
    ASSERT_TRUE(picture.HasMask());
    QImage canvas(8, 8, QImage::Format_RGB32);
    canvas.fill(QColor(0x11, 0x22, 0x33));
    {
        QPainter painter(&canvas);
        picture.Draw(painter, 8, 8);
    }
    const QRgb background = qRgb(0x11, 0x22, 0x33);
    // The mask's black quarters are top left and bottom right; each picture pixel covers 2x2.
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(3, 3), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(4, 0), background);
    EXPECT_EQ(canvas.pixel(7, 3), background);
    EXPECT_EQ(canvas.pixel(0, 4), background);
    EXPECT_EQ(canvas.pixel(4, 4), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(7, 7), qRgb(255, 255, 0));
}

TEST(CDIBTest, MissingResourceLoadsNothingAndDrawsNothing)
{
    CDIB picture(QStringLiteral("regengine_ui_test"));
    EXPECT_FALSE(picture.LoadFromResourceName(QStringLiteral("NOSUCH")));
    EXPECT_FALSE(picture.LoadFromResource(4711));
    QImage canvas(4, 4, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        picture.Draw(painter, 4, 4);
    }
    EXPECT_EQ(canvas.pixel(1, 1), qRgb(255, 255, 255));
}

TEST(CDIBTest, WithoutStretchingThePictureIsCopiedUnscaledAndClipped)
{
    CDIB picture;
    ASSERT_TRUE(picture.LoadFromData(fixture("rgb24.dib")));
    picture.SetUsesStretching(false);
    QImage canvas(6, 6, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        picture.Draw(painter, 2, 2);
    }
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(1, 1), qRgb(200, 100, 50));
    EXPECT_EQ(canvas.pixel(2, 0), qRgb(0, 0, 0));  // clipped at 2 x 2
}

TEST(CDibWndTest, StretchesThePictureOverItsClientArea)
{
    CDibWnd window;
    ASSERT_TRUE(window.Dib().LoadFromData(fixture("rgb24.dib")));
    window.resize(300, 150);
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(290, 140), qRgb(1, 2, 3));
    EXPECT_EQ(shot.pixel(150, 75), qRgb(200, 100, 50));
}

TEST(CDibWndTest, FitParentFrameGivesTheFrameThePictureSize)
{
    QWidget frame;
    frame.resize(400, 400);
    auto* window = new CDibWnd(&frame);
    ASSERT_TRUE(window->Dib().LoadFromData(fixture("pal8.dib")));
    window->FitParentFrame();
    EXPECT_EQ(frame.size(), QSize(5, 4));
}

}  // namespace
