#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

// Each test case runs in a process of its own, so the record starts with options 0.
void useScreen(int dpiX, int dpiY, bool highContrast)
{
    ScreenInfo::SetMetricsSource([=] { return ScreenInfo::Metrics{dpiX, dpiY, highContrast}; });
    ScreenInfo::Instance().Refresh();
}

TEST(ScreenInfoOptions, AccessibilityLineSetsAndClearsOptions)
{
    struct Case {
        const char* line;
        quint8 before;
        quint8 after;
    };
    const Case cases[] = {
        {"+CONTRAST, -scaling\n", 0x1, 0x2}, {"+Scaling\n", 0x0, 0x1},   {"xall\n", 0x3, 0x0},
        {"-all , +contrast\n", 0x1, 0x2},    {"+\n", 0x3, 0x3},          {"+all\n", 0x0, 0xFF},
        {"+ scaling\n", 0x0, 0x0},           {"+colour, ,\n", 0x2, 0x2}, {"\n", 0x1, 0x1},
    };
    ScreenInfo& info = ScreenInfo::Instance();
    for (const Case& c : cases) {
        info.SetOptions(0, 0xFF);
        info.SetOptions(c.before, 0);
        QmStrStream stream(QString::fromLatin1(c.line));
        info.ParseOptions(stream);
        EXPECT_EQ(info.GetOptions(), c.after) << c.line;
    }
}

TEST(ScreenInfoOptions, AnAccessibilityKeywordWithoutOptionsDoesNotReadTheNextLine)
{
    QmStrStream stream(QStringLiteral(">ACCESSIBILITY\n>+all\n"));
    stream.ignore(-1, u'>');
    ReadScriptToken(stream);
    ScreenInfo::Instance().ParseOptions(stream);
    EXPECT_EQ(ScreenInfo::Instance().GetOptions(), 0);
}

TEST(ScreenInfoContrast, ContrastModeNeedsTheOptionAndTheDesktop)
{
    ScreenInfo& info = ScreenInfo::Instance();
    useScreen(96, 96, false);
    info.SetOptions(ScreenInfo::kContrast, 0);
    EXPECT_FALSE(info.ContrastMode());
    useScreen(96, 96, true);
    EXPECT_TRUE(info.ContrastMode());
    info.SetOptions(0, ScreenInfo::kContrast);
    EXPECT_FALSE(info.ContrastMode());
}

TEST(ScreenInfoScale, RectanglesScaleOnlyWithTheScalingOption)
{
    useScreen(120, 144, false);
    ScreenInfo& info = ScreenInfo::Instance();
    QmRect rect(10, 20, 110, 70);
    info.Scale(rect);
    EXPECT_EQ(rect, QmRect(10, 20, 110, 70));
    info.SetOptions(ScreenInfo::kScaling, 0);
    info.Scale(rect);
    EXPECT_EQ(rect, QmRect(12, 30, 137, 105));
    EXPECT_EQ(info.DpiX(), 120);
    EXPECT_EQ(info.DpiY(), 144);
}

TEST(ScreenInfoDesktop, HighContrastFollowsTheGtkTheme)
{
    qputenv("GTK_THEME", "HighContrastInverse");
    EXPECT_TRUE(ScreenInfo::DesktopMetrics().highContrast);
    qputenv("GTK_THEME", "Adwaita:dark");
    EXPECT_FALSE(ScreenInfo::DesktopMetrics().highContrast);
    EXPECT_GT(ScreenInfo::DesktopMetrics().dpiX, 0);
}

}  // namespace
