#include "RegWindTestSupport.h"

#include "regengine/ui/pages/MethodPage.h"
#include "regengine/ui/pages/ModemPage.h"

#include <gtest/gtest.h>

using namespace engine;
using launcher::RegWind;
using regwindtest::RecordingOpener;
using regwindtest::runScript;

namespace {

const QString kPages = QStringLiteral(
    ">WIND HOLD 0 0 400 300 0x00020000 Window caption\n"
    ">SETHEADER PRNM Ovex Kelvo\n"
    ">WEBREGSITE https://example.com/window\n"
    ">SETPAGECOLOR 255 -1 0\n"
    ">PAGE PAG1 0 0 400 300 0 First page\n"
    ">SETPAGECOLOR 0 0 -1\n"
    ">METHODPAGE METH 0 0 400 300 0 How to register\n"
    ">WEBREGSITE https://example.com/reg?p=<PRNM>\n"
    ">SETPAGECOLOR -1 -1 -1\n"
    ">MODEMPAGE MODM 0 0 400 300 0 _\n"
    ">PAGE PAG4 0 0 400 300 0 Last page\n"
    ">END\n");

TEST(RegPagesFromScript, PageKindsColoursAndTheMethodPagesSites)
{
    RecordingOpener opener;
    auto reader = runScript(kPages);
    RegWind* window = reader->GetWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->GetPage(3), nullptr);
    // Only all three values -1 clear the colour; a single -1 is a full channel.
    EXPECT_EQ(window->GetPage(0)->GetPageColor(), std::optional<quint32>(0x00FFFFu));
    EXPECT_EQ(window->GetPage(1)->GetPageColor(), std::optional<quint32>(0xFF0000u));
    EXPECT_FALSE(window->GetPage(2)->GetPageColor().has_value());

    auto* methods = dynamic_cast<MethodPage*>(window->GetPage(1));
    ASSERT_NE(methods, nullptr);
    EXPECT_EQ(methods->GetText(), QStringLiteral("How to register"));
    // The site given before the method page existed is the window's alone.
    ASSERT_EQ(methods->GetSiteCount(), 1);
    auto* modems = dynamic_cast<ModemPage*>(window->GetPage(2));
    ASSERT_NE(modems, nullptr);
    EXPECT_EQ(modems->GetText(), QString());
    EXPECT_EQ(reader->CurrentModemPage(), modems);
    EXPECT_EQ(dynamic_cast<MethodPage*>(window->GetPage(3)), nullptr);

    // The web method: the next page, and the site with its tags filled in.
    window->GoToPage(1);
    methods->Notify(823, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 2);
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0].toString(QUrl::FullyEncoded), QStringLiteral("https://example.com/reg?p=Ovex%20Kelvo"));
}

}  // namespace
