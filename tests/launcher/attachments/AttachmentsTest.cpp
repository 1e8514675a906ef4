// The field setter, the counter and the exit code, created by the interpreter from their
// script lines and run by window events as the product's script runs them.
#include "launcher/attachments/CounterAttachment.h"
#include "launcher/attachments/SetExitCodeAttachment.h"
#include "launcher/attachments/SetFieldWithTestAttachment.h"
#include "launcher/attachments/VaskRegisterRecord.h"
#include "tests/launcher/attachments/AttachmentTestSupport.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/ModalWait.h"
#include "regengine/ui/element/QmBasicDialog.h"
#include "regengine/ui/element/QmBasicWindow.h"
#include "regengine/ui/pages/QmRegPage.h"

#include "platform/registry/Registry.h"
#include "platform/ui/Ui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <string>

using namespace engine;
using namespace launcher;

namespace {

using attachmenttest::ScriptWindow;

TEST(LauncherAttachmentTypes, AreFoundByTheirNamesInAnyCase)
{
    RegisterLauncherAttachments();
    RegisterLauncherAttachments();
    struct Type {
        const char16_t* line;
        bool (*isType)(const Attachment*);
    };
    const Type types[] = {
        {u"One counter 1 EQ 1 CNT1 0x0",
         [](const Attachment* a) { return dynamic_cast<const CounterAttachment*>(a) != nullptr; }},
        {u"Two VASKREGISTERRECORD 1 EQ 2 sub 0",
         [](const Attachment* a) { return dynamic_cast<const VaskRegisterRecord*>(a) != nullptr; }},
        {u"Three SetExitCode 1 EQ 2 0 0x0",
         [](const Attachment* a) { return dynamic_cast<const SetExitCodeAttachment*>(a) != nullptr; }},
        {u"Four setfieldwithtest CTRY 1 EQ 1 a b",
         [](const Attachment* a) { return dynamic_cast<const SetFieldWithTestAttachment*>(a) != nullptr; }},
    };
    for (const Type& t : types) {
        QmStrStream stream{QString::fromUtf16(t.line)};
        const Attachment* made = Attachment::CreateFromScript(stream);
        ASSERT_NE(made, nullptr) << QString::fromUtf16(t.line).toStdString();
        EXPECT_TRUE(t.isType(made)) << QString::fromUtf16(t.line).toStdString();
    }
}

TEST(LauncherAttachmentReading, ParametersInOrder)
{
    RegisterLauncherAttachments();
    QmStrStream counter(QStringLiteral("C Counter -RGC GT ( 1 , 2 ) RUNS 0x00000001 rest"));
    const auto* c = dynamic_cast<CounterAttachment*>(Attachment::CreateFromScript(counter));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetTest().GetLeft(), QStringLiteral("-RGC"));
    EXPECT_EQ(c->GetTest().GetRight().GetCount(), 2);
    EXPECT_EQ(c->GetTarget(), FourCC("RUNS"));
    EXPECT_EQ(c->GetFlags(), 1u);

    QmStrStream exit(QStringLiteral("E SetExitCode 1 EQ 1 -3 0x1"));
    const auto* e = dynamic_cast<SetExitCodeAttachment*>(Attachment::CreateFromScript(exit));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetExitCode(), -3);
    EXPECT_EQ(e->GetFlags(), 1u);

    // The product's own GetCtry line: the quoted tag and the empty quoted token.
    QmStrStream field(QStringLiteral("F SetFieldWithTest CTRY 1 EQ 1 \"<$APP.CountryCode>\" \"\""));
    const auto* f = dynamic_cast<SetFieldWithTestAttachment*>(Attachment::CreateFromScript(field));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetTarget(), FourCC("CTRY"));
    EXPECT_EQ(f->GetValueIfTrue(), QStringLiteral("<$APP.CountryCode>"));
    EXPECT_TRUE(f->GetValueIfFalse().isEmpty());
}

struct SetFieldCase {
    const char* name;
    const char* runCount;
    const char* value;  // the header's value after the run
};

void PrintTo(const SetFieldCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetFieldWithTest : public ::testing::TestWithParam<SetFieldCase> {};

// Event 0x1 at ATTACH time, as the product's script runs its country and language.
TEST_P(SetFieldWithTest, WritesTheValueForTheTestsOutcome)
{
    const SetFieldCase& c = GetParam();
    ScriptWindow script(QStringLiteral(">SETHEADER -RGC %1\n"
                                       ">ATTACHMENT SetDone SetFieldWithTest DONE -RGC EQ 1 \"yes <PRNM>\" \"\"\n"
                                       ">ATTACH !REG SetDone 0x00000001\n")
                            .arg(QString::fromLatin1(c.runCount)));
    EXPECT_EQ(script.header("DONE"), QString::fromUtf8(c.value));
}

const SetFieldCase kSetFieldCases[] = {
    {"passing_test_writes_the_first_value_with_tags", "1", "yes Ovex Kelvo"},
    {"failing_test_writes_the_second_value", "2", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, SetFieldWithTest, ::testing::ValuesIn(kSetFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The product's own lines fill the country and language from the user's locale.
TEST(SetFieldWithTestProduct, CountryAndLanguageOfTheLocale)
{
    qputenv("LC_ALL", "fr_CA.UTF-8");
    ScriptWindow script(
        QStringLiteral(">SETHEADER LANG EN\n"
                       ">ATTACHMENT GetCtry SetFieldWithTest CTRY 1 EQ 1 \"<$APP.CountryCode>\" \"\"\n"
                       ">ATTACHMENT GetLang SetFieldWithTest LANG 1 EQ 1 \"<$APP.LangCode>\" \"\"\n"
                       ">ATTACH !REG GetCtry 0x00000001\n"
                       ">ATTACH !REG GetLang 0x00000001\n"));
    EXPECT_EQ(script.header("CTRY"), QStringLiteral("CAN"));
    EXPECT_EQ(script.header("LANG"), QStringLiteral("FRC"));
}

// With a control of the target code on a page, the control shows the value and the
// window's field follows; the header record gets nothing.
TEST(SetFieldWithTestControl, SetsTheControlAndTheFieldValue)
{
    ScriptWindow script(
        QStringLiteral(">SETFIELD CTRL old\n"
                       ">PAGE PAG1 0 0 100 100 0 Page\n"
                       ">ATTACHMENT SetCtrl SetFieldWithTest CTRL 1 EQ 1 \"new <PRNM>\" \"\"\n"));
    RegWind& window = script.window();
    auto* control = new QmBasicWindow(window.GetPage(0));
    control->SetCode(FourCC("CTRL"));
    window.Attach(Attachment::Find(QStringLiteral("setctrl")), AttachEvent::PageShown);
    window.PerformEvent(AttachEvent::PageShown);
    EXPECT_EQ(control->GetText(), QStringLiteral("new Ovex Kelvo"));
    EXPECT_EQ(script.field(RegWind::PageFields, "CTRL"), QStringLiteral("new Ovex Kelvo"));
    EXPECT_EQ(script.header("CTRL"), std::nullopt);
}

// A counter that keeps its count goes on from the stored count in the next run.
TEST(Counter, CountsPassingEventsAndKeepsTheCountAcrossRuns)
{
    const QString lines = QStringLiteral(
        ">SETHEADER -RGC 1\n"
        ">ATTACHMENT Runs Counter -RGC EQ 1 RUNS 0x00000001\n"
        ">ATTACHMENT Seen Counter -RGC EQ 2 SEEN 0x00000000\n"
        ">ATTACH !REG Runs 0x00000004\n"
        ">ATTACH !REG Seen 0x00000004\n");
    {
        ScriptWindow first(lines);
        for (int i = 0; i < 3; ++i)
            first.window().PerformEvent(AttachEvent::PageShown);
        EXPECT_EQ(first.header("RUNS"), QStringLiteral("3"));
        // A failing test still shows the count.
        EXPECT_EQ(first.header("SEEN"), QStringLiteral("0"));
    }
    ASSERT_TRUE(IsEngineRegistryKeyOpen());
    const auto stored =
        platform::Registry::value(platform::RootKey::CurrentUser, EngineRegistryKeyPath(), QStringLiteral("Runs"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, platform::RegValue::fromDWord(3));
    EXPECT_FALSE(
        platform::Registry::value(platform::RootKey::CurrentUser, EngineRegistryKeyPath(), QStringLiteral("Seen")));

    ScriptWindow second(lines);
    second.window().PerformEvent(AttachEvent::PageShown);
    EXPECT_EQ(second.header("RUNS"), QStringLiteral("4"));
    EXPECT_EQ(
        platform::Registry::value(platform::RootKey::CurrentUser, EngineRegistryKeyPath(), QStringLiteral("Runs")),
        platform::RegValue::fromDWord(4));
}

struct ExitCase {
    const char* name;
    const char* line;
    int exitCode;
    bool quits;
};

void PrintTo(const ExitCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetExitCode : public ::testing::TestWithParam<ExitCase> {};

TEST_P(SetExitCode, SetsTheCodeAndQuitsWhenAsked)
{
    const ExitCase& c = GetParam();
    ScriptWindow script(QStringLiteral(">ATTACHMENT ExitApp SetExitCode %1\n>ATTACH !REG ExitApp 0x00000004\n")
                            .arg(QString::fromLatin1(c.line)));
    script.window().PerformEvent(AttachEvent::PageShown);
    EXPECT_EQ(LauncherExitCode(), c.exitCode);
    EXPECT_EQ(platform::quitPending(), c.quits);
    if (c.quits) {
        // The quit ends the event loop with the code, as it ends the launcher.
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [] { platform::postQuit(-1); });
        guard.start(20000);
        EXPECT_EQ(QApplication::exec(), c.exitCode);
    }
}

const ExitCase kExitCases[] = {
    {"product_line_sets_0_and_quits", "1 EQ 1 0 0x00000001", 0, true},
    {"without_flag_only_sets_the_code", "1 EQ 1 5 0x0", 5, false},
    {"failing_test_changes_nothing", "1 EQ 2 7 0x1", kInitialExitCode, false},
};

INSTANTIATE_TEST_SUITE_P(Table, SetExitCode, ::testing::ValuesIn(kExitCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
