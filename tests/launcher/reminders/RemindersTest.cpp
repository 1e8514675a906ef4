#include "launcher/app/QmCommandLineInfo.h"
#include "launcher/reminders/Reminders.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/Clock.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/FieldList.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/dialogs/ReminderKeeper.h"
#include "regengine/ui/display/DialogItem.h"

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>

using namespace engine;
using namespace launcher;
using platform::RegValue;
using platform::RootKey;

namespace {

class FixedClock : public Clock {
public:
    qint64 MonotonicMs() const override { return 0; }
    qint64 CurrentTime() const override { return now; }
    void SleepMs(qint64) const override {}
    qint64 now = 1'700'000'000;
};

const QString kScript = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Window caption\n"
    ">SETHEADER MFGR QMRK\n>SETHEADER PROD VELD\n>SETFIELD PRNM Ovex: Kelvo\n"
    ">REMINDFLAGS 0x3\n");

class ReminderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::isolateEnvironment();
        reader = std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(kScript), QString(), LangCode("EN"));
        reader->Run();
        window = reader->GetWindow();
        ASSERT_NE(window, nullptr);
        window->GetReminders().SetClock(&clock);
        ASSERT_TRUE(window->OpenRegistryKey());
        keyPath = EngineRegistryKeyPath();
    }
    void set(const char* name, const RegValue& value)
    {
        ASSERT_TRUE(platform::Registry::setValue(RootKey::CurrentUser, keyPath, QString::fromLatin1(name), value));
    }

    // A second window, made after "TestVals" is set: the keeper reads it when the window's
    // reminders are made.
    RegWind* windowWithTestValues(const char* text)
    {
        platform::Registry::setValue(RootKey::CurrentUser, ReminderKeeper::TestValuesKeyPath(),
                                     QStringLiteral("TestVals"), RegValue::fromString(QString::fromLatin1(text)));
        second = std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(kScript), QString(), LangCode("EN"));
        second->Run();
        RegWind* w = second->GetWindow();
        w->GetReminders().SetClock(&clock);
        return w;
    }

    FixedClock clock;
    std::unique_ptr<ScriptReader> reader;
    std::unique_ptr<ScriptReader> second;
    RegWind* window = nullptr;
    QString keyPath;
};

}  // namespace

TEST_F(ReminderTest, DueOnlyWithLaterStatusAndATimeThatHasCome)
{
    struct Case {
        const char* name;
        std::optional<RegValue> status;
        std::optional<RegValue> time;
        bool due;
    };
    const qint64 now = clock.now;
    const Case cases[] = {
        {"past_qword", RegValue::fromString("L"), RegValue::fromQWord(quint64(now - 1)), true},
        {"exactly_now", RegValue::fromString("Later"), RegValue::fromQWord(quint64(now)), true},
        {"future", RegValue::fromString("L"), RegValue::fromQWord(quint64(now + 60)), false},
        {"dword_is_a_32_bit_time", RegValue::fromString("L"), RegValue::fromDWord(quint32(now - 10)), true},
        {"registered_by_modem", RegValue::fromString("M"), RegValue::fromQWord(quint64(now - 1)), false},
        {"status_not_text", RegValue::fromDWord('L'), RegValue::fromQWord(quint64(now - 1)), false},
        {"empty_status", RegValue::fromString(""), RegValue::fromQWord(quint64(now - 1)), false},
        {"no_time", RegValue::fromString("L"), std::nullopt, false},
        {"time_as_binary", RegValue::fromString("L"), RegValue::fromBinary(QByteArray(8, '\0')), false},
        {"no_status", std::nullopt, RegValue::fromQWord(quint64(now - 1)), false},
    };
    for (const Case& c : cases) {
        platform::Registry::removeValue(RootKey::CurrentUser, keyPath, QStringLiteral("RegStatus"));
        platform::Registry::removeValue(RootKey::CurrentUser, keyPath, QStringLiteral("RemindTime"));
        if (c.status)
            set("RegStatus", *c.status);
        if (c.time)
            set("RemindTime", *c.time);
        EXPECT_EQ(window->GetReminders().IsReminderDue(), c.due) << c.name;
    }
}

// A hive as another build of the engine left it: the due time as a 4-byte number.
TEST_F(ReminderTest, ReadsAHiveFileWrittenElsewhere)
{
    const QString hive = platform::Registry::hiveFilePath(RootKey::CurrentUser);
    QByteArray text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + keyPath.toUtf8() +
                      "]\n\"RegStatus\"=\"L\"\n\"RemindTime\"=dword:6553f100\n";
    testsupport::writeFile(hive, text);
    clock.now = 0x6553f100;
    EXPECT_TRUE(window->GetReminders().IsReminderDue());
    clock.now = 0x6553f0ff;
    EXPECT_FALSE(window->GetReminders().IsReminderDue());
}

TEST_F(ReminderTest, StartModes)
{
    set("RegStatus", RegValue::fromString("L"));
    set("RemindTime", RegValue::fromQWord(quint64(clock.now + 100)));
    EXPECT_FALSE(window->StartMode(0)) << "not due yet";
    EXPECT_TRUE(window->GetSettings().reminderMode);
    clock.now += 100;
    EXPECT_TRUE(window->StartMode(0));
    EXPECT_TRUE(window->StartMode(2)) << "REGSTATUS starts normally";
    EXPECT_FALSE(window->StartMode(1)) << "UNINSTALL never goes on";
    EXPECT_FALSE(platform::Registry::keyExists(RootKey::CurrentUser, keyPath)) << "and removes the engine key";
}

TEST_F(ReminderTest, SetReminderWritesTimeStatusAndAnAutostartEntry)
{
    RegWind* w = windowWithTestValues("1 2 5");
    w->GetReminders().SetReminder();

    EXPECT_EQ(EngineRegistryValue(QStringLiteral("RegStatus")), RegValue::fromString(RegStatusText(u'L', clock.now)));
    EXPECT_EQ(EngineRegistryValue(QStringLiteral("RemindTime")), RegValue::fromQWord(quint64(clock.now + 5 * 60)))
        << "TestVals' third number replaces the interval";
    clock.now += 5 * 60 - 1;
    EXPECT_FALSE(w->GetReminders().IsReminderDue());
    clock.now += 1;
    EXPECT_TRUE(w->GetReminders().IsReminderDue());

    const QString path = Reminders::GetReminderShortcutPath(QStringLiteral("Ovex: Kelvo Registration"));
    EXPECT_TRUE(path.endsWith(QStringLiteral("/autostart/Ovex_ Kelvo Registration.desktop"))) << path.toStdString();
    const QByteArray entry = testsupport::readFile(path);
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\nType=Application\nName=Ovex: Kelvo Registration\n")) << entry.data();
    const QByteArray exec =
        platform::desktopExecLine(platform::modulePath(), {QStringLiteral("/remind"), QStringLiteral("/language=EN"),
                                                           QStringLiteral("/PRNM=Ovex: Kelvo")})
            .toUtf8();
    EXPECT_TRUE(entry.contains("\nExec=" + exec + "\n")) << entry.data();
    EXPECT_TRUE(exec.endsWith(" /remind /language=EN \"/PRNM=Ovex: Kelvo\"")) << exec.data();

    w->GetReminders().DeleteReminder();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(EngineRegistryValue(QStringLiteral("RemindTime")));
}

TEST(ReminderExec, QuotesAndEscapesAsDesktopEntriesNeed)
{
    struct Case {
        const char* program;
        QStringList args;
        const char* line;
    } cases[] = {
        {"/opt/ovex-kelvo/launcher", {"/remind"}, "/opt/ovex-kelvo/launcher /remind"},
        {"/opt/ovex kelvo/launcher", {"/remind"}, "\"/opt/ovex kelvo/launcher\" /remind"},
        {"/x", {"/PRNM=Say \"hi\""}, "/x \"/PRNM=Say \\\\\"hi\\\\\"\""},
        {"/x", {"$HOME`id`"}, "/x \"\\\\$HOME\\\\`id\\\\`\""},
        {"/x", {"a\\b"}, "/x \"a\\\\\\\\b\""},
        {"/x", {"100%"}, "/x 100%%"},
        {"/x", {""}, "/x \"\""},
        {"/x", {"line\nbreak"}, "/x \"line\\nbreak\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::desktopExecLine(QString::fromUtf8(c.program), c.args), QString::fromUtf8(c.line)) << c.line;
}

TEST_F(ReminderTest, ArgumentsKeepTheScriptsOwnRegKey)
{
    const QStringList given =
        ReminderKeeper::ReminderArguments(LangCode(), QStringLiteral("/PRNM=\"Other Name\" extra"), FourCC("PRNM"));
    EXPECT_EQ(given, (QStringList{"/remind", "/PRNM=Other Name", "extra"}));
    const QStringList added = ReminderKeeper::ReminderArguments(LangCode("DE"), QString(), FourCC("PRNM"));
    EXPECT_EQ(added, (QStringList{"/remind", "/language=DE", "/PRNM=Ovex: Kelvo"}));
}

// The reminder start gets the field values and the serial-number location exactly as the
// first start was given them: quotes, backslashes and blanks included.
TEST_F(ReminderTest, TheReminderStartGetsTheCommandLinesValuesBack)
{
    const QStringList given = {"/MODL=say \"hi\"", "/PATH=C:\\dir\\", "/SSI_SN_LOCATION=Software\\Foo\\Bar",
                               "/NOTE=a  b\\\"c"};
    FieldList first;
    QmCommandLineInfo line(&first);
    line.ParseCommandLine(given);
    const QStringList argv = ReminderKeeper::ReminderArguments(LangCode(), line.GetPassThrough(), FourCC("PRNM"));
    EXPECT_EQ(argv.mid(1, given.size()), given) << line.GetPassThrough().toStdString();

    FieldList again;
    QmCommandLineInfo reminded(&again);
    reminded.ParseCommandLine(argv.mid(1));
    for (const char* code : {"MODL", "PATH", "NOTE"})
        EXPECT_EQ(again.GetField(FourCC(code)), first.GetField(FourCC(code))) << code;
    EXPECT_EQ(reminded.GetSerialNumberLocation(), QStringLiteral("Software\\Foo\\Bar"));
    EXPECT_EQ(SplitArgumentsText(QStringLiteral(" a\\b  \"\" c\\\\ ")), (QStringList{"a\\b", "", "c\\"}));
}

TEST_F(ReminderTest, ScheduleReminderActsOnTheDialogsAnswer)
{
    RegisterLaterRequest seen;
    int answer = RegisterLaterResult::RegisterNow;
    window->GetReminders().SetDialog([&](const RegisterLaterRequest& r) {
        seen = r;
        return answer;
    });
    EXPECT_FALSE(window->GetReminders().ScheduleReminder(true)) << "register now keeps the window";
    EXPECT_EQ(seen.templateId, 2100);
    EXPECT_EQ(seen.intervalMinutes, 14 * 1440);
    EXPECT_EQ(seen.productName, QStringLiteral("Ovex: Kelvo"));
    EXPECT_EQ(seen.linkName, QStringLiteral("Ovex: Kelvo Registration"));
    EXPECT_TRUE(seen.fromFinalPage);

    window->GetReminders().SetReminder();
    const QString path = Reminders::GetReminderShortcutPath(seen.linkName);
    ASSERT_TRUE(QFile::exists(path));
    answer = RegisterLaterResult::ExitRegistration;
    EXPECT_TRUE(window->GetReminders().ScheduleReminder(false));
    EXPECT_FALSE(QFile::exists(path)) << "exit deletes the reminder";
    EXPECT_TRUE(platform::Registry::keyExists(RootKey::CurrentUser, keyPath)) << "without clean-up flag 2";
    window->GetSettings().cleanupFlags = 0x2;
    EXPECT_TRUE(window->GetReminders().ScheduleReminder(false));
    EXPECT_FALSE(platform::Registry::keyExists(RootKey::CurrentUser, keyPath));
}

// The engine's own register-later dialog, answered by its buttons: what the window does
// and what the dialog's shared keeper writes, with the window's clock and test interval.
TEST_F(ReminderTest, TheEnginesRegisterLaterDialogDrivesTheWindow)
{
    RegWind* w = windowWithTestValues("0 0 5");
    const QString entry = Reminders::GetReminderShortcutPath(QStringLiteral("Ovex: Kelvo Registration"));

    struct Case {
        const char* name;
        int button;
        bool fromFinalPage;
        bool closes;
        const char* status;  // null: not written
        bool reminder;       // the login entry and "RemindTime" exist after it
    };
    const Case cases[] = {
        {"register now", 1, false, false, nullptr, false},
        {"cancel", 2, false, false, nullptr, false},
        {"remind me", 4, true, true, "L", true},
        {"exit", 3, false, true, "N", false},
    };
    for (const Case& c : cases) {
        platform::Registry::removeValue(RootKey::CurrentUser, keyPath, QStringLiteral("RegStatus"));
        w->GetReminders().DeleteReminder();
        bool cancelShown = true;
        bool pressed = false;
        // The dialog runs modally; answer it from the event loop it runs.
        std::function<void()> answer = [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* button = dialog != nullptr ? qobject_cast<QAbstractButton*>(DialogItem(dialog, c.button)) : nullptr;
            if (button == nullptr) {
                QTimer::singleShot(10, answer);
                return;
            }
            cancelShown = !DialogItem(dialog, 2)->isHidden();
            pressed = true;
            button->click();
        };
        QTimer::singleShot(0, answer);
        EXPECT_EQ(w->GetReminders().ScheduleReminder(c.fromFinalPage), c.closes) << c.name;
        EXPECT_TRUE(pressed) << c.name;
        EXPECT_EQ(cancelShown, !c.fromFinalPage) << c.name << ": the final page has no Cancel";
        const auto status = EngineRegistryValue(QStringLiteral("RegStatus"));
        EXPECT_EQ(status ? status->text : QString(),
                  c.status ? RegStatusText(QChar::fromLatin1(*c.status), clock.now) : QString())
            << c.name;
        EXPECT_EQ(QFile::exists(entry), c.reminder) << c.name;
        const auto due = EngineRegistryValue(QStringLiteral("RemindTime"));
        EXPECT_EQ(due, c.reminder ? std::optional(RegValue::fromQWord(quint64(clock.now + 5 * 60))) : std::nullopt)
            << c.name;
    }
}
