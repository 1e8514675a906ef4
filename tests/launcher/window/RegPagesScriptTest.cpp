#include "RegWindTestSupport.h"

#include "launcher/registration/StatusWindow.h"

#include "regengine/core/Displayer.h"
#include "regengine/core/ModalWait.h"
#include "regengine/ui/dialogs/StatusDialog.h"
#include "regengine/ui/display/DialogItem.h"
#include "regengine/ui/element/QmControl.h"
#include "regengine/ui/pages/MethodPage.h"
#include "regengine/ui/pages/ModemPage.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>

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

// Leaving the method page records the method chosen there as the page field ";MTH": the
// web method until its chooser says otherwise.
TEST(RegPagesFromScript, LeavingTheMethodPageRecordsTheChosenMethod)
{
    auto reader =
        runScript(QStringLiteral(">WIND HOLD 0 0 400 300 0x00020000 Window caption\n"
                                 ">LIST Ways\nWeb^\nServer^\nE-mail^\nModem^\nFax^\nPost^\n"
                                 ">PAGE PAG1 0 0 400 300 0 First page\n"
                                 ">METHODPAGE METH 0 0 400 300 0 How to register\n"
                                 ">COMBO Ways -RMT 10 10 200 200 1 0 0 _\n"
                                 ">PAGE PAG3 0 0 400 300 0 Last page\n"
                                 ">END\n"));
    RegWind* window = reader->GetWindow();
    ASSERT_NE(window, nullptr);
    auto* methods = dynamic_cast<MethodPage*>(window->GetPage(1));
    ASSERT_NE(methods, nullptr);
    const FieldList* fields = window->GetList(RegWind::PageFields);
    const FourCC method(";MTH");

    window->GoToPage(2);
    EXPECT_EQ(fields->Find(method), nullptr) << "the method page was never current";
    window->GoToPage(1);
    window->GoToPage(2);
    EXPECT_EQ(fields->GetField(method), QStringLiteral(";WEB"));

    window->GoToPage(1);
    auto* chooser = dynamic_cast<QmControl*>(methods->FindByCode(FourCC("-RMT")));
    ASSERT_NE(chooser, nullptr);
    chooser->SetValue(2);
    methods->UpdateMethod(true);
    window->GoToPage(0);
    EXPECT_EQ(fields->GetField(method), QStringLiteral(";EMR")) << "going back records it too";
}

// The runs' status window: its line is the run's displayer, its icons turn while the run
// waits, and its Cancel works with the window disabled for the run.
TEST(RunStatusWindow, ShowsTheRunAndItsCancelStopsTheWait)
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    launcher::StatusWindow status(&window);
    Displayer* text = status.Begin();
    window.setEnabled(false);
    ASSERT_NE(text, nullptr);
    StatusDialog* dialog = status.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    text->WriteLine(QStringLiteral("Sending your information."));
    text->WriteLine(QStringLiteral("Receiving information."));
    EXPECT_EQ(qobject_cast<QLabel*>(DialogItem(dialog, StatusDialog::kTextItem))->text(),
              QStringLiteral("Receiving information."));
    qint64 now = 0;
    dialog->SetClock([&now] { return now; });
    dialog->StartAnimation(StatusDialog::kIconItem, 2017, 2018);
    now = 2;
    SetCancelFlag(0);
    PumpWhileBusy();
    EXPECT_EQ(dialog->CurrentIcon(), 2018);

    auto* cancel = qobject_cast<QAbstractButton*>(DialogItem(dialog, 2));
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isEnabled());
    cancel->click();
    EXPECT_EQ(CancelFlag(), 1);
    EXPECT_TRUE(window.isEnabled());
    status.End();
    EXPECT_EQ(status.Dialog(), nullptr);
    SetCancelFlag(0);
}

}  // namespace
