// script-preview run as a process on a page filled in by keys alone, and on the window's
// own register-later path reached from a button, a command and Escape.
#include "PreviewTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

using previewtest::kUnsetExitCode;
using previewtest::outputLines;
using testsupport::RunResult;

const QString kFixture = QStringLiteral("/tests/tools/script-preview/fixtures/keyboard-page.txt");

RunResult preview(const QStringList& args)
{
    return previewtest::runPreview(testsupport::sourceDir() + kFixture, args);
}

// "--key" for each character of the text, then for each named key.
QStringList keys(const QString& typed, std::initializer_list<const char*> named = {})
{
    QStringList args;
    for (const QChar c : typed)
        args << QStringLiteral("--key") << QString(c);
    for (const char* name : named)
        args << QStringLiteral("--key") << QString::fromLatin1(name);
    return args;
}

QString userHive()
{
    return QFile::exists(qEnvironmentVariable("OVEX_REGISTRY_DIR"))
               ? qEnvironmentVariable("OVEX_REGISTRY_DIR") + QStringLiteral("/HKEY_CURRENT_USER.reg")
               : QString();
}

TEST(KeyboardPreview, APageIsFilledInAndSentWithKeysAlone)
{
    const QStringList args =
        keys(QStringLiteral("Ada"), {"Tab"}) + keys(QStringLiteral("ada@example.org"), {"Tab"}) +
        keys(QStringLiteral("5551234567"),
             {"Tab",  "Down", "Down", "Tab",   "Space", "Down",  "Down",  "Down",  "Return", "Tab",   "Down",
              "Down", "Up",   "Tab",  "Space", "Right", "Space", "Right", "Space", "Tab",    "Space", "Return"}) +
        QStringList{QStringLiteral("--tree"), QStringLiteral("--fields")};
    const RunResult r = preview(args);
    ASSERT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, kUnsetExitCode) << r.err.toStdString();
    const QStringList out = outputLines(r.out);
    for (const char* expected : {
             // Enter pressed the default Next: the second page, its caption filled in.
             "QmRegPage PG02 0 0 600 420 0x00000000 \"Thank you\"",
             "  QmCaption DONE 20 20 560 26 0x00080000 \"Thank you, Ada.\"",
             "NAME:Ada",
             "MAIL:ada@example.org",
             "PHON:555-123-4567",
             // Down twice in the combo; Space opens the popup's menu, whose keys choose its
             // third item; in the radio group Down, Down, Up lands on Ms.
             "CTRY:NOR",
             "HEAR:On the web",
             "MS__:1",
             "MR__:",
             "MX__:",
             // Space, Right, Space, Right, Space: the third of at most two is refused.
             "NEWS:1",
             "OFFR:1",
             "EVNT:",
             "beep",
             "AGRE:1",
         })
        EXPECT_TRUE(out.contains(QString::fromUtf8(expected))) << expected << "\n" << r.out.toStdString();
}

// The page's Cancel, a button and the preview's command all open the window's own
// register-later dialog; its buttons store what the window's would, and Escape in the
// dialog is its Cancel.
TEST(KeyboardPreview, TheRegisterLaterDialogIsTheWindowsOwn)
{
    struct Case {
        const char* name;
        QStringList args;
        const char* answer;
        bool stored;
    } const cases[] = {
        {"Escape on the page, then remind me", keys(QString(), {"Escape"}) + QStringList{"--press", "4"},
         "register-later: answer 2", true},
        {"the button, then remind me", {"--click", "LATR", "--press", "4"}, "register-later: answer 2", true},
        {"the command, then remind me", {"--command", "9001", "--press", "4"}, "register-later: answer 2", true},
        {"the button, then Escape in the dialog",
         {"--click", "LATR", "--key", "Escape"},
         "register-later: answer 1",
         false},
        {"the button, left open", {"--click", "LATR"}, "register-later: answer 1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::isolateEnvironment();
        const RunResult r = preview(c.args);
        ASSERT_FALSE(r.crashed);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, kUnsetExitCode) << r.err.toStdString();
        const QStringList out = outputLines(r.out);
        EXPECT_TRUE(out.contains(QString::fromLatin1(c.answer))) << r.out.toStdString();
        // The window quits after a reminder is set; the preview says so and goes on.
        EXPECT_EQ(out.contains(QStringLiteral("quit: exit code 31009")), c.stored) << r.out.toStdString();
        const QString hive = QString::fromUtf8(testsupport::readFile(userHive()));
        EXPECT_EQ(hive.contains(QStringLiteral("\"RemindTime\"=hex(b):")), c.stored) << hive.toStdString();
        EXPECT_EQ(hive.contains(QStringLiteral("\"RegStatus\"=\"L ")), c.stored) << hive.toStdString();
        const QString entry =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/Ovex Kelvo Registration.desktop");
        ASSERT_EQ(QFile::exists(entry), c.stored) << entry.toStdString();
        if (c.stored) {
            // The script's product, reminder key and language, not a default's.
            const QString text = QString::fromUtf8(testsupport::readFile(entry));
            EXPECT_TRUE(text.contains(QStringLiteral("/language=EN \"/PRNM=Ovex Kelvo\""))) << text.toStdString();
        }
    }
}

// --focus and --key: a focused radio member moves by arrows. A line break in --set is the
// Return key: in a single-line edit the default button's press, in a multi-line one a new
// line. A focused push button takes Return as its own press.
TEST(KeyboardPreview, FocusKeysAndLineBreaks)
{
    const RunResult r =
        preview({"--focus", "MX__", "--key", "Right", "--set", "MAIL=bo@example.org", "--set", "NAME=Bo\n", "--tree",
                 "--set", "NOTE=first\r\nsecond", "--key", "Tab", "--key", "Return", "--tree", "--fields"});
    ASSERT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, kUnsetExitCode) << r.err.toStdString();
    const QStringList out = outputLines(r.out);
    for (const char* expected : {"QmRegPage PG02 0 0 600 420 0x00000000 \"Thank you\"", "MR__:1", "NAME:Bo",
                                 "NOTE:first second", "DONE:Thank you, Bo."})
        EXPECT_TRUE(out.contains(QString::fromUtf8(expected))) << expected << "\n" << r.out.toStdString();
    // Back, pressed by Return, came back to the first page.
    EXPECT_GT(out.indexOf(QStringLiteral("QmRegPage PG01 0 0 600 420 0x00000000 \"Your details\"")),
              out.indexOf(QStringLiteral("QmRegPage PG02 0 0 600 420 0x00000000 \"Thank you\"")))
        << r.out.toStdString();

    const RunResult unknown = preview({"--key", "NoSuchKey"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains("no key NoSuchKey")) << unknown.err.toStdString();
}

}  // namespace
