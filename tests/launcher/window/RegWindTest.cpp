#include "launcher/window/RegWind.h"
#include "launcher/script/ScriptReader.h"
#include "tests/launcher/LauncherTestSupport.h"
#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingSink.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/SmartFile.h"
#include "regengine/ui/pages/QmRegPage.h"

#include "platform/registry/Registry.h"
#include "platform/ui/Ui.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <string>
#include <vector>

using namespace engine;
using namespace launcher;

namespace {

using launchertest::TraceRecorder;
using regwindtest::editOf;
using regwindtest::RecordingOpener;
using regwindtest::runScript;
using regwindtest::TestEdit;
using testsupport::RecordingSink;

const QString kWind = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Window caption\n"
    ">SETHEADER PRNM Ovex Kelvo\n");

// A window of `count` pages PG00, PG01, ..., each with a title.
QString pages(int count, const QString& firstPageLines = {})
{
    QString script;
    for (int i = 0; i < count; ++i) {
        script += QStringLiteral(">PAGE PG%1 0 0 100 100 0 Page %2\n").arg(i, 2, 10, QChar(u'0')).arg(i);
        if (i == 0)
            script += firstPageLines;
    }
    return script;
}

// Lets posted quits and queued calls run; returns the code of a quit met, or -1.
int drainEvents()
{
    const bool pending = platform::quitPending();
    QCoreApplication::processEvents();
    return pending ? platform::lastQuitCode() : -1;
}

// Refuses the text "bad".
class RefuseBad : public Constraint {
public:
    bool Validate(const QString& text, const QString*) override
    {
        quietSeen.push_back(ConstraintQuietFlags());
        return text != u"bad";
    }
    std::vector<quint32> quietSeen;
};

// Notes the events of the elements it is attached to.
std::vector<std::string> g_events;

class EventSpy : public AttachmentType<EventSpy> {
public:
    bool ExecuteSelf(Attachable* attachable, quint32 event) override
    {
        const auto* element = dynamic_cast<QmWind*>(attachable);
        g_events.push_back((element ? FieldCodeToString(element->GetCode()).toStdString() : "?") + ":" +
                           std::to_string(event));
        return true;
    }
    void ReadParameters(QmStrStream&) override {}
};

const AttachmentTypeRegistrar<EventSpy> g_spyType(QStringLiteral("EventSpy"));

TEST(RegWindNavigation, RelativeCommandsMoveAndClampToThePages)
{
    struct Case {
        const char* name;
        int pageCount;
        int start;
        int command;
        int expected;
    };
    const Case cases[] = {
        {"previous on the first page stays", 5, 0, 2000, 0},
        {"previous", 5, 2, 2000, 1},
        {"next", 5, 0, 2001, 1},
        {"next on the last page stays", 5, 4, 2001, 4},
        {"navigate back stands for previous", 5, 3, 2012, 2},
        {"navigate forward stands for next", 5, 3, 2013, 4},
        {"two on", 5, 0, 2005, 2},
        {"two back clamps to the first", 5, 1, 2004, 0},
        {"four on clamps to the last", 5, 2, 2015, 4},
        {"five back", 5, 4, 2009, 0},
        {"ten on of three pages reaches the last", 3, 0, 2028, 2},
        {"ten back", 3, 2, 2027, 0},
        {"2016 does nothing", 5, 2, 2016, 2},
        {"2019 does nothing", 5, 2, 2019, 2},
    };
    for (const Case& c : cases) {
        auto reader = runScript(kWind + pages(c.pageCount));
        RegWind* window = reader->GetWindow();
        window->GoToPage(c.start);
        ASSERT_EQ(window->GetCurrentPageIndex(), c.start) << c.name;
        window->OnNotify(nullptr, c.command, 0);
        EXPECT_EQ(window->GetCurrentPageIndex(), c.expected) << c.name;
    }
}

TEST(RegWindNavigation, GoToPageTakesANumberANameOrTheFirstPage)
{
    struct Case {
        const char* name;
        int value;
        const char* sourceText;
        int expected;
    };
    const Case cases[] = {
        {"the value argument is an index", 3, "", 3},
        {"a decimal text is an index", 0, "3", 3},
        {"a page code names the page", 0, "PG04", 4},
        {"only the first four characters name it", 0, "PG02 and more", 2},
        {"an unknown name is the first page", 0, "NOPE", 0},
        {"an index past the end is the last page", 9, "", 4},
    };
    for (const Case& c : cases) {
        auto reader = runScript(kWind + pages(5, QStringLiteral(">EDIT LINK 0\n")));
        RegWind* window = reader->GetWindow();
        window->GoToPage(1);
        window->GoToPage(0);
        TestEdit* link = editOf(*window, "LINK");
        ASSERT_NE(link, nullptr);
        link->setText(QString::fromUtf8(c.sourceText));
        window->OnNotify(link, RegCommand::GoToPage, c.value);
        EXPECT_EQ(window->GetCurrentPageIndex(), c.expected) << c.name;
    }
}

TEST(RegWindNavigation, BackToThePreviousPageReturnsWhereTheUserCameFrom)
{
    auto reader = runScript(kWind + pages(5));
    RegWind* window = reader->GetWindow();
    window->OnNotify(nullptr, RegCommand::BackToPreviousPage, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 0) << "no previous page yet";
    window->GoToPage(3);
    window->GoToPage(1);
    EXPECT_EQ(window->GetPreviousPageIndex(), 3);
    window->OnNotify(nullptr, RegCommand::BackToPreviousPage, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 3);
}

TEST(RegWindPages, TheWindowHoldsTwentyPagesAndRefusesMore)
{
    TraceRecorder traces;
    auto reader = runScript(kWind + pages(RegWind::kMaxPages + 1) + QStringLiteral(">SETFIELD AFTR read on\n"));
    RegWind* window = reader->GetWindow();
    ASSERT_EQ(window->GetPageCount(), RegWind::kMaxPages);
    EXPECT_TRUE(traces.Contains(QStringLiteral("Page PG20 refused: the window holds 20 pages already")));
    EXPECT_EQ(window->GetList(RegWind::PageFields)->GetField(FourCC("AFTR")), QStringLiteral("read on"));
    window->GoToPage(100);
    EXPECT_EQ(window->GetCurrentPageIndex(), RegWind::kMaxPages - 1);
    EXPECT_EQ(window->FindPage(FourCC("PG20")), -1);

    QmStrStream line(QStringLiteral("XTRA 0 0 10 10 0 Extra"));
    auto extra = std::make_unique<QmRegPage>(line, nullptr);
    EXPECT_FALSE(window->AddPage(extra.get(), 0));
    EXPECT_EQ(window->GetPageCount(), RegWind::kMaxPages);
}

TEST(RegWindPages, ControlsGetInitialAndHeaderValuesAndKeepTheUsersInput)
{
    auto reader = runScript(kWind +
                            QStringLiteral(">SETINITIALVALUE NAME Ada\n"
                                           ">SETINITIALVALUE KEEP script\n"
                                           ">SETINITIALVALUE -HID never shown\n") +
                            pages(2, QStringLiteral(">EDIT NAME 0\n>EDIT KEEP 0x200\n>EDIT PRNM 0\n>EDIT -HID 0\n")));
    RegWind* window = reader->GetWindow();
    ASSERT_EQ(window->GetCurrentPageIndex(), 0);
    EXPECT_EQ(editOf(*window, "NAME")->text(), QStringLiteral("Ada"));
    EXPECT_EQ(editOf(*window, "KEEP")->text(), QString()) << "flag 0x200 keeps its value on a first showing";
    EXPECT_EQ(editOf(*window, "PRNM")->text(), QStringLiteral("Ovex Kelvo")) << "header entries fill controls too";
    EXPECT_EQ(editOf(*window, "-HID")->text(), QString()) << "codes beginning with '-' are never filled";

    editOf(*window, "NAME")->setText(QStringLiteral("Grace"));
    window->OnNotify(nullptr, RegCommand::NextPage, 0);
    ASSERT_EQ(window->GetCurrentPageIndex(), 1);
    EXPECT_EQ(window->GetList(RegWind::PageFields)->GetField(FourCC("NAME")), QStringLiteral("Grace"));
    EXPECT_EQ(window->GetList(RegWind::InitialValues)->GetField(FourCC("NAME")), QStringLiteral("Grace"));
    EXPECT_EQ(window->GetList(RegWind::PageFields)->Find(FourCC("-HID")), nullptr);

    window->OnNotify(nullptr, RegCommand::PreviousPage, 0);
    EXPECT_EQ(editOf(*window, "NAME")->text(), QStringLiteral("Grace")) << "a second showing keeps the input";
}

TEST(RegWindPages, TheCurrentPagesTitleIsTheCaptionAndHintsAreSubstituted)
{
    auto reader = runScript(kWind + QStringLiteral(">PAGE PG00 0 0 100 100 0 _\n"
                                                   ">PAGE PG01 0 0 100 100 0 Your product\n"
                                                   ">EDIT GRET 0x80000\n"));
    RegWind* window = reader->GetWindow();
    EXPECT_EQ(window->GetText(), QStringLiteral("Window caption")) << "an untitled page leaves the caption";
    TestEdit* greeting = editOf(*window, "GRET");
    ASSERT_NE(greeting, nullptr);
    greeting->SetHint(QStringLiteral("Welcome to <PRNM>"));
    window->GoToPage(1);
    EXPECT_EQ(window->GetText(), QStringLiteral("Your product"));
    EXPECT_EQ(greeting->text(), QStringLiteral("Welcome to Ovex Kelvo"));
}

TEST(RegWindValidation, MovingForwardValidatesTheLeftPageAndBackwardDoesNot)
{
    auto reader = runScript(kWind + pages(3, QStringLiteral(">EDIT NAME 0\n")));
    RegWind* window = reader->GetWindow();
    RefuseBad rule;
    TestEdit* name = editOf(*window, "NAME");
    name->SetConstraint(&rule);
    name->setText(QStringLiteral("bad"));

    window->OnNotify(nullptr, RegCommand::NextPage, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 0);
    EXPECT_EQ(name->selectedText(), QStringLiteral("bad")) << "the refused text is selected for the user";
    EXPECT_EQ(window->GetList(RegWind::PageFields)->Find(FourCC("NAME")), nullptr);

    window->OnNotify(nullptr, RegCommand::GoToPageValidated, 2);
    EXPECT_EQ(window->GetCurrentPageIndex(), 0) << "2003 validates";
    window->OnNotify(nullptr, RegCommand::GoToPage, 2);
    EXPECT_EQ(window->GetCurrentPageIndex(), 2) << "2002 does not";
    EXPECT_EQ(window->GetList(RegWind::PageFields)->GetField(FourCC("NAME")), QStringLiteral("bad"));

    window->GoToPage(0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 0) << "moving back does not validate";
    name->setText(QStringLiteral("good"));
    window->OnNotify(nullptr, RegCommand::NextPage, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 1);
    name->SetConstraint(nullptr);
}

TEST(RegWindValidation, AnErrorHandlerMovesToTheErrorPageQuietly)
{
    RecordingSink boxes;
    auto reader = runScript(kWind + QStringLiteral(">PAGE PG00 0 0 100 100 0 Form\n"
                                                   ">SETERRORHANDLER ERRH Page\n"
                                                   ">EDIT NAME 0\n>EDIT -HDR 0\n"
                                                   ">PAGE PG01 0 0 100 100 0 Next\n"
                                                   ">PAGE PG02 0 0 100 100 0 Please check\n"
                                                   ">EDIT -HDR 0\n"));
    RegWind* window = reader->GetWindow();
    RefuseBad rule;
    editOf(*window, "NAME")->SetConstraint(&rule);
    editOf(*window, "NAME")->setText(QStringLiteral("bad"));
    window->GetPage(0)->FindByCode(FourCC("-HDR"))->SetText(QStringLiteral("PG02"));

    window->OnNotify(nullptr, RegCommand::NextPage, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 2);
    EXPECT_EQ(window->GetPreviousPageIndex(), 0);
    EXPECT_EQ(window->GetPage(2)->FindByCode(FourCC("-HDR"))->GetText(), QStringLiteral("PG02"));
    EXPECT_EQ(rule.quietSeen, std::vector<quint32>{1}) << "validated once, with the boxes off";
    EXPECT_EQ(ConstraintQuietFlags(), 0u);
    EXPECT_TRUE(boxes.boxes.empty());
    editOf(*window, "NAME")->SetConstraint(nullptr);
}

TEST(RegWindValidation, APrivateCodeWithAMarkIsNotValidated)
{
    auto reader = runScript(kWind + pages(2, QStringLiteral(">EDIT SECR 0\n")));
    RegWind* window = reader->GetWindow();
    RefuseBad rule;
    editOf(*window, "SECR")->SetConstraint(&rule);
    editOf(*window, "SECR")->setText(QStringLiteral("bad"));
    window->MarkPrivateField(FourCC("SECR"), true);
    window->OnNotify(nullptr, RegCommand::NextPage, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 1);
    EXPECT_TRUE(rule.quietSeen.empty());
    editOf(*window, "SECR")->SetConstraint(nullptr);
}

TEST(RegWindNavigation, SuccessAndConditionalPages)
{
    {
        auto reader = runScript(kWind + QStringLiteral(">REGSUCCESSPAGE PG01\n") + pages(3));
        reader->GetWindow()->GoToSuccessPage();
        EXPECT_EQ(reader->GetWindow()->GetCurrentPageIndex(), 1);
    }
    for (const char* code : {"????", "NONE"}) {
        auto reader = runScript(kWind + QStringLiteral(">REGSUCCESSPAGE %1\n").arg(QLatin1String(code)) + pages(3));
        reader->GetWindow()->GoToSuccessPage();
        EXPECT_EQ(reader->GetWindow()->GetCurrentPageIndex(), 2) << code;
    }
    {
        auto reader = runScript(kWind + QStringLiteral(">REGSUCCESSPAGE QUIT\n") + pages(3));
        SetLauncherExitCode(17);
        reader->GetWindow()->GoToSuccessPage();
        EXPECT_EQ(drainEvents(), 17);
        EXPECT_EQ(reader->GetWindow()->GetCurrentPageIndex(), 0);
        SetLauncherExitCode(kInitialExitCode);
    }
    struct Case {
        const char* rule;
        const char* flag;
        int expected;
    };
    for (const Case& c : {Case{"NXTC FLAG 3 1", "1", 3}, Case{"NXTC FLAG 3 1", "0", 1}, Case{"NXTC NONE 3 1", "1", 0},
                          Case{"MOVE FLAG 3 1", "1", 0}}) {
        auto reader =
            runScript(kWind + pages(4, QStringLiteral(">RULE %1\n>EDIT FLAG 0\n").arg(QLatin1String(c.rule))));
        RegWind* window = reader->GetWindow();
        editOf(*window, "FLAG")->setText(QString::fromLatin1(c.flag));
        window->OnNotify(nullptr, RegCommand::ConditionalNextPage, 0);
        EXPECT_EQ(window->GetCurrentPageIndex(), c.expected) << c.rule << " with " << c.flag;
    }
}

TEST(RegWindCommands, CommandsThatEndTheProgramPostTheExitCode)
{
    struct Case {
        int command;
        bool registeredEvent;
    };
    for (const Case& c : {Case{RegCommand::SaveAndQuit, false}, Case{RegCommand::NeverRegister, false},
                          Case{RegCommand::SetReminder, false}, Case{RegCommand::AlreadyRegistered, true},
                          Case{RegCommand::Quit, false}}) {
        g_events.clear();
        auto reader = runScript(kWind + QStringLiteral(">ATTACHMENT seen EventSpy\n") + pages(2) +
                                QStringLiteral(">ATTACH !REG seen 0x40\n"));
        SetLauncherExitCode(5);
        reader->GetWindow()->OnNotify(nullptr, c.command, 0);
        EXPECT_EQ(drainEvents(), 5) << c.command;
        EXPECT_EQ(g_events, c.registeredEvent ? std::vector<std::string>{"HOLD:64"} : std::vector<std::string>{})
            << c.command;
    }
    SetLauncherExitCode(kInitialExitCode);
}

TEST(RegWindCommands, CancelRunsTheScriptsCancelCommandOnly)
{
    {
        auto reader = runScript(kWind + pages(2));
        reader->GetWindow()->close();
        EXPECT_EQ(drainEvents(), -1) << "without DEFAULTCANCELCMD closing does nothing";
    }
    auto reader = runScript(kWind + QStringLiteral(">DEFAULTCANCELCMD 2999\n") + pages(2));
    SetLauncherExitCode(3);
    reader->GetWindow()->close();
    EXPECT_EQ(drainEvents(), 3);
    SetLauncherExitCode(kInitialExitCode);
}

TEST(RegWindCommands, OnlyWebAndMailAddressesReachTheShell)
{
    struct Case {
        const char* link;
        const char* opened;  // null: refused
    };
    const Case cases[] = {
        {"https://reg.example/form?name=<NAME>&p=<PRNM>", "https://reg.example/form?name=J%C3%B6rg&p=Ovex%20Kelvo"},
        {"http://reg.example/<$APP.Nothing>x", "http://reg.example/x"},
        // Plain HTTP gets the page without the record.
        {"HTTP://reg.example/form?name=<NAME>&x=1", "http://reg.example/form?name=&x=1"},
        {"mailto:register@ovex.example?subject=<PRNM>", "mailto:register@ovex.example?subject=Ovex%20Kelvo"},
        {"file:///etc/passwd", nullptr},
        {"FILE:///home/user/.bashrc", nullptr},
        {"javascript:alert(1)", nullptr},
        {"ftp://files.example/x", nullptr},
        {"/usr/bin/xterm", nullptr},
        {"http://", nullptr},
        {"<NAME>", nullptr},
    };
    for (const Case& c : cases) {
        TraceRecorder traces;
        RecordingOpener opener;
        auto reader =
            runScript(kWind + QStringLiteral(">SETFIELD NAME Jörg\n") + pages(1, QStringLiteral(">EDIT LINK 0\n")));
        RegWind* window = reader->GetWindow();
        editOf(*window, "LINK")->setText(QString::fromUtf8(c.link));
        window->OnNotify(editOf(*window, "LINK"), RegCommand::Hyperlink, 0);
        if (c.opened == nullptr) {
            EXPECT_TRUE(opener.opened.isEmpty()) << c.link;
            EXPECT_TRUE(traces.Contains(QStringLiteral("is not an http, https or mailto address"))) << c.link;
        } else {
            ASSERT_EQ(opener.opened.size(), 1) << c.link;
            EXPECT_EQ(opener.opened[0].toEncoded(), QByteArray(c.opened)) << c.link;
        }
    }
}

TEST(RegWindCommands, TheWebRegistrationCommandValidatesMovesOnAndOpensTheSite)
{
    const struct {
        const char* site;
        const char* opened;
    } cases[] = {
        {"https://reg.example/?p=<PRNM>&u=<USID>", "https://reg.example/?p=Ovex%20Kelvo&u=a%2Fb"},
        {"http://reg.example/?p=<PRNM>&u=<USID>", "http://reg.example/?p=&u="},
    };
    for (const auto& c : cases) {
        RecordingOpener opener;
        auto reader = runScript(kWind + QStringLiteral(">WEBREGSITE %1\n>SETFIELD USID a/b\n").arg(c.site) + pages(2));
        RegWind* window = reader->GetWindow();
        window->OnNotify(nullptr, RegCommand::OpenWebRegistration, 0);
        EXPECT_EQ(window->GetCurrentPageIndex(), 1);
        ASSERT_EQ(opener.opened.size(), 1);
        EXPECT_EQ(opener.opened[0].toEncoded(), QByteArray(c.opened)) << c.site;
    }
}

TEST(RegWindFields, SetFieldValueShowsItInTheControlOrMakesAHeaderEntry)
{
    auto reader =
        runScript(kWind + QStringLiteral(">SETINITIALVALUE CTRY old\n") + pages(1, QStringLiteral(">EDIT CTRY 0\n")));
    RegWind* window = reader->GetWindow();
    window->SetFieldValue(FourCC("CTRY"), QStringLiteral("AUT"));
    EXPECT_EQ(editOf(*window, "CTRY")->text(), QStringLiteral("AUT"));
    EXPECT_EQ(window->GetList(RegWind::InitialValues)->GetField(FourCC("CTRY")), QStringLiteral("AUT"));
    EXPECT_EQ(window->GetList(RegWind::HeaderRecord)->Find(FourCC("CTRY")), nullptr) << "lists without it stay so";

    window->SetFieldValue(FourCC("LANG"), QStringLiteral("DEA"));
    EXPECT_EQ(window->GetList(RegWind::HeaderRecord)->GetField(FourCC("LANG")), QStringLiteral("DEA"));
    EXPECT_EQ(window->FindControl(FourCC("HOLD")), nullptr) << "the window is no control";
    EXPECT_EQ(window->FindControl(FourCC("PG00")), nullptr) << "nor is a page";
}

TEST(RegWindFields, LookupCollectsTheCurrentPageFirst)
{
    auto reader =
        runScript(kWind + QStringLiteral(">SETFIELD NAME script\n") + pages(1, QStringLiteral(">EDIT NAME 0\n")));
    RegWind* window = reader->GetWindow();
    editOf(*window, "NAME")->setText(QStringLiteral("typed"));
    EXPECT_EQ(window->FieldValue(FourCC("NAME")), QStringLiteral("script"));
    EXPECT_EQ(window->LookupField(FourCC("NAME")), QStringLiteral("typed"));
}

TEST(RegWindPages, ManipulateSwapsTwoPagesOrRefusesTheKind)
{
    RecordingSink boxes;
    auto reader = runScript(kWind + pages(3));
    RegWind* window = reader->GetWindow();
    QmRegPage* first = window->GetPage(0);
    QmRegPage* third = window->GetPage(2);
    window->Manipulate(1, FourCC("PG00"), FourCC("PG02"));
    EXPECT_EQ(window->GetPage(0), third);
    EXPECT_EQ(window->GetPage(2), first);
    window->Manipulate(1, FourCC("PG00"), FourCC("NONE"));
    EXPECT_EQ(window->GetPage(0), third);
    EXPECT_TRUE(boxes.boxes.empty());
    window->Manipulate(2, FourCC("PG00"), FourCC("PG01"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Bad Manipulate Command"));
}

TEST(RegWindLanguage, ALanguageChoiceRebuildsThePagesAndComesBackToThePage)
{
    auto reader = std::make_unique<ScriptReader>(nullptr, QString(), LangCode("EN"));
    regwindtest::installTestEdit(*reader);
    reader->SetResourceModule(QStringLiteral("regwind_test"));
    ASSERT_TRUE(reader->RunResource(LangCode("EN")));
    RegWind* window = reader->GetWindow();
    window->GoToPage(1);
    ASSERT_EQ(window->GetText(), QStringLiteral("Language"));
    editOf(*window, "NAME")->setText(QStringLiteral("Ada"));
    editOf(*window, "C-Lng")->setText(QStringLiteral("DE"));

    window->OnNotify(editOf(*window, "C-Lng"), QmNotify::ItemChosen, 1);
    EXPECT_EQ(window->GetText(), QStringLiteral("Language")) << "the change is posted, not done at once";
    drainEvents();
    EXPECT_EQ(LangCode::Current(), LangCode("DE"));
    EXPECT_EQ(window->GetPageCount(), 2);
    EXPECT_EQ(window->GetCurrentPageIndex(), 1);
    EXPECT_EQ(window->GetText(), QStringLiteral("Sprache"));
    EXPECT_EQ(editOf(*window, "NAME")->text(), QStringLiteral("Ada")) << "the input survives the rebuild";
    LangCode::SetCurrent(LangCode("EN"));
}

// The tests run with TZ=UTC, so 1 January 1998 00:00:00 local standard time is this.
constexpr qint64 k1998 = 883612800;

TEST(RegWindSerialNumber, TheDefinitionMakesTheNumberAndTheNextPageStoresIt)
{
    ASSERT_TRUE(platform::Registry::setValue(platform::RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Ovex\\Serial"),
                                             QStringLiteral("Number"),
                                             platform::RegValue::fromString(QStringLiteral("X123"))));
    struct Case {
        const char* definition;  // the header entries "snCR", "snPR", "snSF" and "snFL", in order
        const char* stored;      // under SRNM after 2001; null: nothing made, the page stays
        const char* box;         // the one message box shown, or null
        bool pending = true;     // "snCR" is one letter
    };
    const Case cases[] = {
        {"A|OV-||", "OV-0000864050042", nullptr},
        {"A|||", "0000864050042", nullptr},
        {"A||-EU|", "0000864050042-EU", nullptr},
        {"Q|PFX||", "PFX0000864050042", nullptr},
        {"R||-S|SOFTWARE\\Ovex\\Serial\\Number", "X123-S", nullptr},
        {"R|||SOFTWARE\\Ovex\\Serial\\Missing", nullptr, nullptr},
        {"M|||", nullptr, "Must put define in Meta Program"},
        {"AB|OV-||", "", nullptr, false},
        {"|OV-||", "", nullptr, false},
    };
    for (const Case& c : cases) {
        RecordingSink boxes;
        testsupport::FakeClock clock;
        clock.seconds = k1998 + 86400 + 5;
        auto reader = runScript(kWind + pages(3));
        RegWind* window = reader->GetWindow();
        window->SetSerialNumberClock(&clock);
        clock.seconds += 42;
        const QStringList parts = QString::fromLatin1(c.definition).split(u'|');
        QString script;
        const char* const names[] = {"snCR", "snPR", "snSF", "snFL"};
        for (int i = 0; i < 4; ++i) {
            if (!parts[i].isEmpty())
                script += QStringLiteral(">SETHEADER %1 %2\n").arg(QLatin1String(names[i]), parts[i]);
        }
        QmStrStream more(script + QStringLiteral(">SERNUMCREATE SRNM\n>SETFIELD NEXT read on\n"));
        reader->Run(&more);
        EXPECT_EQ(window->GetList(RegWind::PageFields)->GetField(FourCC("NEXT")), QStringLiteral("read on"))
            << c.definition << ": the definition leaves the next line alone";
        EXPECT_EQ(window->IsSerialNumberPending(), c.pending) << c.definition;
        EXPECT_EQ(window->GetSerialNumberCode() == FourCC("SRNM"), c.pending) << c.definition;
        EXPECT_EQ(window->GetList(RegWind::HeaderRecord)->Find(FourCC("SRNM")), nullptr)
            << c.definition << ": stored only by the page command";
        if (!c.pending) {
            window->OnNotify(nullptr, RegCommand::NextPage, 0);
            EXPECT_EQ(window->GetCurrentPageIndex(), 1) << c.definition << ": nothing to wait for";
            EXPECT_EQ(window->GetList(RegWind::PageFields)->Find(FourCC("SRNM")), nullptr) << c.definition;
            continue;
        }

        window->OnNotify(nullptr, RegCommand::NextPage, 0);
        if (c.stored != nullptr) {
            EXPECT_EQ(window->GetCurrentPageIndex(), 1) << c.definition;
            EXPECT_EQ(window->GetList(RegWind::HeaderRecord)->GetField(FourCC("SRNM")), QString::fromLatin1(c.stored))
                << c.definition;
            EXPECT_EQ(window->GetList(RegWind::PageFields)->GetField(FourCC("SRNM")), QString::fromLatin1(c.stored))
                << c.definition;
            // Once stored, the number still counts as made: the next page command moves on.
            window->OnNotify(nullptr, RegCommand::NextPage, 0);
            EXPECT_EQ(window->GetCurrentPageIndex(), 2) << c.definition;
        } else {
            EXPECT_EQ(window->GetCurrentPageIndex(), 0) << c.definition;
            EXPECT_EQ(window->GetList(RegWind::HeaderRecord)->Find(FourCC("SRNM")), nullptr) << c.definition;
            EXPECT_EQ(window->GetList(RegWind::PageFields)->Find(FourCC("SRNM")), nullptr) << c.definition;
        }
        if (c.box == nullptr) {
            EXPECT_TRUE(boxes.boxes.empty()) << c.definition;
        } else {
            ASSERT_FALSE(boxes.boxes.empty()) << c.definition;
            for (const auto& box : boxes.boxes)
                EXPECT_EQ(box.text, QString::fromLatin1(c.box)) << c.definition;
        }
    }
}

// Mode T reads the registry path the command line's SSI_SN_LOCATION gives; without one the
// user is told to start the program from its shortcut, and it ends.
TEST(RegWindSerialNumber, ModeTReadsTheCommandLinesLocation)
{
    ASSERT_TRUE(platform::Registry::setValue(platform::RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Ovex\\Serial"),
                                             QStringLiteral("Number"),
                                             platform::RegValue::fromString(QStringLiteral("X123"))));
    for (const char* location : {"SOFTWARE\\Ovex\\Serial\\Number", ""}) {
        RecordingSink boxes;
        auto reader = runScript(kWind + pages(2));
        RegWind* window = reader->GetWindow();
        reader->SetSerialNumberLocation(QString::fromLatin1(location));
        QmStrStream more(QStringLiteral(">SETHEADER snCR T\n>SERNUMCREATE SRNM\n"));
        reader->Run(&more);
        EXPECT_TRUE(window->IsSerialNumberPending()) << location;
        window->OnNotify(nullptr, RegCommand::NextPage, 0);
        if (*location) {
            EXPECT_EQ(window->GetList(RegWind::PageFields)->GetField(FourCC("SRNM")), QStringLiteral("X123"));
            EXPECT_TRUE(boxes.boxes.empty());
        } else {
            EXPECT_EQ(window->GetCurrentPageIndex(), 0);
            ASSERT_FALSE(boxes.boxes.empty());
            EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Missing Parameter"));
            EXPECT_TRUE(platform::quitPending());
            drainEvents();
        }
    }
}

TEST(RegWindSerialNumber, TheConditionalPageCommandStoresTheNumberAndStillMoves)
{
    testsupport::FakeClock clock;
    clock.seconds = k1998 + 10;
    auto reader = runScript(kWind + pages(4, QStringLiteral(">RULE NXTC FLAG 3 1\n>EDIT FLAG 0\n")));
    RegWind* window = reader->GetWindow();
    window->SetSerialNumberClock(&clock);
    QmStrStream more(QStringLiteral(">SETHEADER snCR A\n>SETHEADER snPR SN-\n>SERNUMCREATE SERN\n"));
    reader->Run(&more);
    editOf(*window, "FLAG")->setText(QStringLiteral("1"));
    window->OnNotify(nullptr, RegCommand::ConditionalNextPage, 0);
    EXPECT_EQ(window->GetCurrentPageIndex(), 3);
    EXPECT_EQ(window->GetList(RegWind::HeaderRecord)->GetField(FourCC("SERN")), QStringLiteral("SN-0000000100000"));
}

TEST(RegWindSerialNumber, ARerunKeepsTheNumberAndABadModeDefinesNothing)
{
    TraceRecorder traces;
    testsupport::FakeClock clock;
    clock.seconds = k1998 + 7;
    auto reader = runScript(kWind + pages(2));
    RegWind* window = reader->GetWindow();
    window->SetSerialNumberClock(&clock);
    QmStrStream first(QStringLiteral(">SETHEADER snCR A\n>SETHEADER snPR ONE-\n>SERNUMCREATE SRNM\n"));
    reader->Run(&first);
    clock.seconds += 500;
    QmStrStream again(
        QStringLiteral(">SETHEADER snPR TWO-\n>SERNUMCREATE SRNM\n>SETHEADER snCR AB\n"
                       ">SERNUMCREATE OTHR\n"));
    reader->Run(&again);
    EXPECT_TRUE(traces.Contains(QStringLiteral("SERNUMCREATE OTHR: header snCR is not one letter")));
    window->OnNotify(nullptr, RegCommand::NextPage, 0);
    EXPECT_EQ(window->GetList(RegWind::PageFields)->GetField(FourCC("SRNM")), QStringLiteral("ONE-0000000070000"));
}

// A prefs file as the prefs writer leaves it, in the engine folder.
void writePrefs(const QString& name, const QString& nameValue)
{
    RegFile file(name);
    FieldList global;
    global.SetField(FourCC("NAME"), nameValue);
    global.SetField(FourCC("CITY"), QStringLiteral("\u0141\u00f3d\u017a"));
    file.MergeFields(global);
    file.GetProductList(FourCC("OVEX"), FourCC("OVX1"))->SetField(FourCC("SRNM"), QStringLiteral("PR-1"));
    ASSERT_TRUE(file.Save()) << name.toStdString();
}

TEST(RegWindPrefs, PrefFileReadsTheNamedFileIntoTheInitialValues)
{
    writePrefs(QStringLiteral("Custom.dat"), QStringLiteral("Ada"));
    auto reader = runScript(kWind +
                            QStringLiteral(">SETINITIALVALUE NAME script\n>SETINITIALVALUE KEEP script\n"
                                           ">PREFFILE Custom.dat\n") +
                            pages(1, QStringLiteral(">EDIT NAME 0\n")));
    RegWind* window = reader->GetWindow();
    const FieldList* initial = window->GetList(RegWind::InitialValues);
    EXPECT_EQ(initial->GetField(FourCC("NAME")), QStringLiteral("Ada")) << "the saved answer wins";
    EXPECT_EQ(initial->GetField(FourCC("CITY")), QStringLiteral("\u0141\u00f3d\u017a"));
    EXPECT_EQ(initial->GetField(FourCC("KEEP")), QStringLiteral("script"));
    EXPECT_EQ(editOf(*window, "NAME")->text(), QStringLiteral("Ada"));
    EXPECT_EQ(window->GetSettings().prefsFileName, QStringLiteral("Custom.dat"));
    RegFile* prefs = window->GetPrefsFile();
    ASSERT_NE(prefs, nullptr);
    EXPECT_EQ(prefs->GetFilePath(), EngineFolder() + QStringLiteral("/Custom.dat"));
    EXPECT_EQ(prefs->GetProductList(FourCC("OVEX"), FourCC("OVX1"))->GetField(FourCC("SRNM")), QStringLiteral("PR-1"));
}

TEST(RegWindPrefs, APrefFileNameThatLeavesThePrefsFolderIsRefused)
{
    // A real prefs file where each name below would lead, were it taken.
    const QString above = QDir(EngineFolder() + QStringLiteral("/..")).absolutePath();
    writePrefs(QStringLiteral("Inside.dat"), QStringLiteral("Inside"));
    QByteArray bytes;
    {
        RegFile model(QStringLiteral("Inside.dat"));
        model.ReadExistingFields();
        model.GetFieldList().SetField(FourCC("NAME"), QStringLiteral("Outside"));
        model.Serialize(bytes);
    }
    QFile outside(above + QStringLiteral("/outside.dat"));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.write(bytes);
    outside.close();
    QDir(EngineFolder()).mkpath(QStringLiteral("sub"));

    for (const char* name : {"../outside.dat", "sub/../../outside.dat", "..\\outside.dat", "sub/Inside.dat",
                             "sub\\Inside.dat", "/etc/passwd"}) {
        TraceRecorder traces;
        auto reader =
            runScript(kWind + QStringLiteral(">SETINITIALVALUE NAME script\n>PREFFILE %1\n").arg(QLatin1String(name)));
        RegWind* window = reader->GetWindow();
        EXPECT_EQ(window->GetList(RegWind::InitialValues)->GetField(FourCC("NAME")), QStringLiteral("script")) << name;
        // The window's own prefs file, read at its construction, stays.
        EXPECT_NE(window->GetPrefsFile(), nullptr) << name;
        EXPECT_EQ(window->GetSettings().prefsFileName, QStringLiteral("Veldo.dat")) << name;
        EXPECT_TRUE(traces.Contains(QStringLiteral("PREFFILE %1 refused").arg(QLatin1String(name)))) << name;
    }
    EXPECT_FALSE(QFile::exists(EngineFolder() + QStringLiteral("/sub/Inside.dat")));
}

TEST(RegWindPrefs, AWindowThatKeepsNoPrefsReadsNone)
{
    writePrefs(QStringLiteral("Kept.dat"), QStringLiteral("Ada"));
    auto reader =
        runScript(QStringLiteral(">WIND HOLD 0 0 200 100 0x00020200 No prefs\n"
                                 ">SETINITIALVALUE NAME script\n>PREFFILE Kept.dat\n>PREFFILE Absent.dat\n"));
    RegWind* window = reader->GetWindow();
    EXPECT_EQ(window->GetList(RegWind::InitialValues)->GetField(FourCC("NAME")), QStringLiteral("script"));
    EXPECT_EQ(window->GetPrefsFile(), nullptr);
    EXPECT_EQ(window->GetSettings().prefsFileName, QStringLiteral("Absent.dat"));
    EXPECT_FALSE(QFile::exists(EngineFolder() + QStringLiteral("/Absent.dat"))) << "no file is made either";
}

}  // namespace
