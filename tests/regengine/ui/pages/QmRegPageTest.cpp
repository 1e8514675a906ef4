#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/element/ScreenInfo.h"
#include "regengine/ui/pages/QmRegPage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <memory>

using namespace engine;

namespace {

std::unique_ptr<QmRegPage> page(const QString& line, const QmPageBackground& background = {})
{
    QmStrStream script(line);
    return std::make_unique<QmRegPage>(script, nullptr, background);
}

TEST(QmRegPage, TheTitleIsTheRestOfTheLineUnlessItBeginsWithAnUnderscore)
{
    StringTableMgr::Instance().RemoveAll();
    QmStrStream table(QStringLiteral("CAPT ENGL\n1 Setup\n2 Your details\n>END"));
    QmStringTable::CreateFromScript(table);
    struct Case {
        const char* line;
        const char* text;
    };
    const Case cases[] = {
        {"-PUL 0 0 580 480 1201 Product registration  ", "Product registration"},
        {"-PUL 0 0 580 480 1201 =CAPT:2", "Your details"},
        {"-PUL 0 0 580 480 1201 _", ""},
        {"-PUL 0 0 580 480 1201 _hidden title", ""},
        {"-PUL 0 0 580 480 1201 A \\x41 escape", "A A escape"},
    };
    for (const Case& c : cases) {
        auto p = page(QString::fromLatin1(c.line));
        EXPECT_EQ(p->GetText(), QString::fromLatin1(c.text)) << c.line;
        EXPECT_EQ(FieldCodeToString(p->GetCode()), QStringLiteral("-PUL")) << c.line;
        EXPECT_EQ(p->GetRect(), QmRect(0, 0, 580, 480)) << c.line;
    }
    StringTableMgr::Instance().RemoveAll();
}

TEST(QmRegPage, DirectivesAndTheErrorHandler)
{
    auto p = page(QStringLiteral("PAG1 0 0 10 10 0 t"));
    EXPECT_EQ(p->GetTextList().GetCount(), 0);
    EXPECT_FALSE(p->GetErrorHandler().IsActive());
    EXPECT_EQ(p->GetErrorHandler().GetCode(), FourCC());
    EXPECT_EQ(p->GetErrorHandler().GetLetter(), QChar(u'P'));
    p->AddListText(QStringLiteral("NXTC FLAG 3 1"));
    p->AddListText(QString());
    ASSERT_EQ(p->GetTextList().GetCount(), 2);
    EXPECT_EQ(*p->GetTextList().GetItem(0), QStringLiteral("NXTC FLAG 3 1"));
    p->SetErrorHandler(FourCC("ERRH"), u'Q');
    EXPECT_TRUE(p->GetErrorHandler().IsActive());
    EXPECT_EQ(p->GetErrorHandler().GetCode(), FourCC("ERRH"));
    EXPECT_EQ(p->GetErrorHandler().GetLetter(), QChar(u'Q'));
}

// The page drawn over a red canvas, as the pixels show it.
QImage rendered(QmRegPage& p)
{
    p.resize(40, 30);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    p.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

TEST(QmRegPage, TheBackgroundIsThePageColourAndAMissingBitmapDrawsNothing)
{
    struct Case {
        const char* name;
        QmPageBackground background;
        bool hasBitmap;
        QRgb expected;
    };
    const Case cases[] = {
        {"a white page", {QString(), 0, 0x00FFFFFFu, QStringLiteral("launcher")}, false, qRgb(255, 255, 255)},
        {"the colour is red in the low byte",
         {QString(), 0, 0x00FF0000u, QStringLiteral("launcher")},
         false,
         qRgb(0, 0, 255)},
        {"a name without a bitmap leaves the colour everywhere",
         {QStringLiteral("NOSUCHBITMAP"), 1, 0x0000FF00u, QStringLiteral("launcher")},
         true,
         qRgb(0, 255, 0)},
    };
    for (const Case& c : cases) {
        auto p = page(QStringLiteral("PAG1 0 0 40 30 0 t"), c.background);
        EXPECT_EQ(p->GetBitmap() != nullptr, c.hasBitmap) << c.name;
        if (p->GetBitmap() != nullptr) {
            EXPECT_TRUE(p->GetBitmap()->isNull()) << c.name;
        }
        EXPECT_EQ(p->GetDrawMode(), c.hasBitmap ? c.background.mode : 0u) << c.name;
        const QImage image = rendered(*p);
        EXPECT_EQ(image.pixel(0, 0), c.expected) << c.name;
        EXPECT_EQ(image.pixel(39, 29), c.expected) << c.name;
    }
    // A bitmap of the program's resources, stretched over the page: no colour shows.
    auto stretched = page(QStringLiteral("PAG1 0 0 40 30 0 t"),
                          {QStringLiteral("BLUE2X2"), 1, 0x0000FF00u, QStringLiteral("regengine_ui_test")});
    ASSERT_NE(stretched->GetBitmap(), nullptr);
    EXPECT_EQ(stretched->GetBitmap()->size(), QSize(2, 2));
    const QImage image = rendered(*stretched);
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(39, 29), qRgb(0, 0, 255));

    auto plain = page(QStringLiteral("PAG1 0 0 40 30 0 t"));
    EXPECT_EQ(plain->GetBitmap(), nullptr);
    EXPECT_FALSE(plain->GetPageColor().has_value());
}

// Drawing mode 2 covers the page, bitmap and all, with the desktop's button face in contrast
// mode: the script's option and the desktop's high contrast together.
TEST(QmRegPage, ContrastModePaintsTheButtonFaceWhereTheModeAsks)
{
    const QRgb face = QApplication::palette().color(QPalette::Active, QPalette::Button).rgb();
    struct Case {
        const char* name;
        quint32 mode;
        bool option;
        bool highContrast;
        QRgb expected;
    };
    const Case cases[] = {
        {"contrast and mode 2 cover the bitmap", 3, true, true, face},
        {"mode 2 without the option", 3, false, true, qRgb(0, 0, 255)},
        {"mode 2 without high contrast", 3, true, false, qRgb(0, 0, 255)},
        {"contrast without mode 2 keeps the bitmap", 1, true, true, qRgb(0, 0, 255)},
    };
    for (const Case& c : cases) {
        ScreenInfo::SetMetricsSource([&c] { return ScreenInfo::Metrics{96, 96, c.highContrast}; });
        ScreenInfo::Instance().Refresh();
        ScreenInfo::Instance().SetOptions(c.option ? ScreenInfo::kContrast : 0, c.option ? 0 : ScreenInfo::kContrast);
        auto p = page(QStringLiteral("PAG1 0 0 40 30 0 t"),
                      {QStringLiteral("BLUE2X2"), c.mode, 0x00FFFFFFu, QStringLiteral("regengine_ui_test")});
        EXPECT_EQ(rendered(*p).pixel(20, 15), c.expected) << c.name;
    }
    ScreenInfo::Instance().SetOptions(0, ScreenInfo::kContrast);
    ScreenInfo::SetMetricsSource({});
    ScreenInfo::Instance().Refresh();
}

// The product's pictures are packed bitmaps without a file header.
TEST(QmRegPage, APackedBitmapIsTheBackground)
{
    auto p = page(QStringLiteral("PAG1 0 0 40 30 0 t"),
                  {QStringLiteral("LOGO"), 0, 0x00FFFFFFu, QStringLiteral("regengine_ui_test")});
    ASSERT_NE(p->GetBitmap(), nullptr);
    EXPECT_FALSE(p->GetBitmap()->isNull());
}

}  // namespace
