#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/ui/controls/QmBitmapButtons.h"
#include "regengine/ui/controls/QmButtons.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmDateField.h"
#include "regengine/ui/controls/QmDibWind.h"
#include "regengine/ui/controls/QmPopup.h"
#include "regengine/ui/graphics/QmFont.h"
#include "regengine/ui/pages/QmRegPage.h"

#include "tests/launcher/LauncherTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace engine;
using namespace launcher;

namespace {

template <typename Control>
Control* find(RegWind& window, const char* code)
{
    return dynamic_cast<Control*>(window.FindControl(FourCC(code)));
}

// Every button and choice keyword once, with the launcher's own pictures, read into the
// page it describes.
TEST(ButtonAndChoiceKeywords, EachLineMakesItsControl)
{
    QmToggleButton::ResetGroupStart();
    ScriptReader reader(
        std::make_unique<QmStrStream>(QStringLiteral(">LIST Months\nMonth\nJanuary\nFebruary\n"
                                                     ">LIST Years\nYear\n2024\n"
                                                     ">LIST Sizes\nSmall\nLarge\n"
                                                     ">USELIST Sizes\n"
                                                     ">WIND HOLD 0 0 400 300 0x00020000 Test\n"
                                                     ">FONT body Arial 9 LT\n"
                                                     ">PAGE PG01 0 0 400 300 0 First\n"
                                                     ">PUSHBUTTON NEXT 10 10 80 24 1 2001 8 Next\n"
                                                     ">CHECKBOX AGRE 10 40 120 20 2 0 0 Agree\n"
                                                     ">RADIOBUTTON LONE 10 64 120 20 3 0 0 Alone\n"
                                                     ">GRAPHICBUTTON GOBT 10 90 64 24 4 2001 800000 GO Go\n"
                                                     ">HOVERBUTTON HOVR 80 90 64 24 5 2001 NEXT\n"
                                                     ">TOGGLEBUTTON STAR 150 90 24 24 6 0 1 STAR Favourite\n"
                                                     ">CLEARBUTTON CLRB 10 120 100 20 7 2001 800000 _\n"
                                                     ">COMBO Sizes SIZE 10 150 100 120 8 0 0 Large\n"
                                                     ">COMBO Nosuch NONE 10 180 100 120 9 0 0 _\n"
                                                     ">POPUP Sizes SIZP 120 150 100 24 10 1 0 _\n"
                                                     ">POPUP Nosuch NONP 120 180 100 24 11 1 0 _\n"
                                                     ">DATEFIELD Months Years BDAY 10 210 200 24 12 0 \"Birthday\"\n"
                                                     ">GRAPHIC LOGO 300 10 2 LOGO\n"
                                                     ">CAPTION AFTR 10 250 100 20 After the picture\n"
                                                     ">END\n")),
        QString(), LangCode("EN"));
    reader.Run();
    RegWind* window = reader.GetWindow();
    ASSERT_NE(window, nullptr);
    auto* next = find<QmPushButton>(*window, "NEXT");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetCommand(), 2001);
    EXPECT_EQ(reader.CurrentPage()->GetDefaultButton(), next);
    EXPECT_EQ(next->font().family(), reader.CurrentFont()->GetFont().family());
    ASSERT_NE(find<QmStateButton>(*window, "AGRE"), nullptr);
    EXPECT_EQ(find<QmStateButton>(*window, "AGRE")->Kind(), QmStateButton::CheckBox);
    EXPECT_EQ(find<QmStateButton>(*window, "LONE")->Kind(), QmStateButton::RadioButton);
    auto* go = find<QmGraphicButton>(*window, "GOBT");
    ASSERT_NE(go, nullptr);
    EXPECT_TRUE(go->UpBitmap().IsLoaded());
    auto* hover = find<CHoverButton>(*window, "HOVR");
    ASSERT_NE(hover, nullptr);
    EXPECT_TRUE(hover->DownBitmap().IsLoaded());
    auto* star = find<QmToggleButton>(*window, "STAR");
    ASSERT_NE(star, nullptr);
    EXPECT_TRUE(star->StartsGroup());
    EXPECT_EQ(star->GetFlags(), 0x3u);
    ASSERT_NE(find<QmClearButton>(*window, "CLRB"), nullptr);
    auto* size = find<QmCombo>(*window, "SIZE");
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->GetValue(), QStringLiteral("Large"));
    EXPECT_EQ(window->FindControl(FourCC("NONE")), nullptr);
    auto* popup = find<QmPopup>(*window, "SIZP");
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetText(), QStringLiteral("Small"));
    EXPECT_EQ(window->FindControl(FourCC("NONP")), nullptr);
    auto* date = find<QmDateField>(*window, "BDAY");
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->Month()->ItemCount(), 3);
    EXPECT_EQ(date->Year()->MenuText(2), QStringLiteral("2024"));
    auto* logo = find<QmDibWind>(*window, "LOGO");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->NaturalRect(), QmRect(300, 10, 348, 58));
    EXPECT_TRUE(logo->Dib().HasMask());
    // The picture's line ends at its bitmap name: the caption after it is still made.
    ASSERT_NE(window->FindControl(FourCC("AFTR")), nullptr);
}

}  // namespace
