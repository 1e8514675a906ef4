#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/ScreenInfo.h"
#include "regengine/ui/graphics/QmFont.h"

#include <gtest/gtest.h>

#include <QFontInfo>

using namespace engine;

namespace {

// Each test case runs in a process of its own, so fonts, colour and weight start empty.
void useScreen(int dpiY, bool scaling)
{
    ScreenInfo::SetMetricsSource([=] { return ScreenInfo::Metrics{dpiY, dpiY, false}; });
    ScreenInfo::Instance().Refresh();
    ScreenInfo::Instance().SetOptions(scaling ? ScreenInfo::kScaling : 0, scaling ? 0 : ScreenInfo::kScaling);
}

QmFont* declare(const char* line)
{
    QmStrStream s{QString::fromLatin1(line)};
    return QmFontMgr::Instance().AddFromScript(s);
}

TEST(QmFontSize, ByTheInjectedResolution)
{
    struct Case {
        const char* name;
        int dpi;
        bool scaling;
        int tenths;
        int pixels;
    } const cases[] = {
        {"120 dpi, scaling off: the pixels of 96 dpi", 120, false, 96, 16},
        {"120 dpi, scaling on: grows", 120, true, 120, 20},
        {"96 dpi either way", 96, false, 120, 16},
        {"144 dpi, scaling off", 144, false, 80, 16},
        {"a screen without a resolution counts as 96", 0, false, 120, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useScreen(c.dpi, c.scaling);
        QmFont* font = declare("big Arial 12 LC");
        EXPECT_EQ(font->GetPointSizeTenths(), c.tenths);
        EXPECT_EQ(font->GetFont().pixelSize(), c.pixels);
    }
}

TEST(QmFontFace, UnderscoresAreBlanksAndWindowsFacesFindTheirTwins)
{
    useScreen(96, false);
    QmFont* arial = declare("a Arial 10 LT");
    EXPECT_EQ(QFontInfo(arial->GetFont()).family(), QStringLiteral("Liberation Sans"));
    QmFont* times = declare("t Times_New_Roman 10 LT");
    EXPECT_EQ(times->GetFont().family(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(QFontInfo(times->GetFont()).family(), QStringLiteral("Liberation Serif"));
    QmFont* sans = declare("s MS_Sans_Serif 8 CC");
    EXPECT_EQ(sans->GetFont().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(sans->GetFirstLetter(), QChar(u'C'));
    EXPECT_EQ(sans->GetSecondLetter(), QChar(u'C'));
}

TEST(QmFontState, ColourAndWeightReachOnlyLaterFonts)
{
    useScreen(96, false);
    QmFont* before = declare("before Arial 10 LT");
    SetFontColor(255, 0, 0);
    SetFontWeight(700);
    QmFont* red = declare("red Arial 10 LT");
    SetFontWeight(0);
    QmFont* plain = declare("plain Arial 10 LT");
    EXPECT_EQ(before->GetRed(), 0);
    EXPECT_EQ(red->GetRed(), 255);
    EXPECT_EQ(red->GetFont().weight(), QFont::Bold);
    EXPECT_EQ(plain->GetFont().weight(), QFont::Normal);
    EXPECT_EQ(plain->GetRed(), 255);
}

TEST(QmFontMgr, FindsTheFirstOfExactlyThatName)
{
    useScreen(96, false);
    QmFont* first = declare("big Arial 12 LC");
    declare("big Arial 20 LC");
    EXPECT_EQ(QmFontMgr::Instance().FindFont(QStringLiteral("big")), first);
    EXPECT_EQ(QmFontMgr::Instance().FindFont(QStringLiteral("Big")), nullptr);
    // A line with nothing after the name still makes a font, with no letters.
    QmFont* bare = declare("bare");
    EXPECT_EQ(bare->GetFirstLetter(), QChar());
    EXPECT_TRUE(bare->HasFont());
}

}  // namespace
