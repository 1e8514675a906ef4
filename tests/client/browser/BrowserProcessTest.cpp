// The built client as a process on a real X server (Xvfb): the browser engine starts
// with the first page shown, and a scheduled run that shows nothing starts none. The
// engine's helper program is replaced by a wrapper that notes each start and then runs
// the real one, so no start can slip between two looks at the process list. The program
// itself links no part of the engine: the browser library comes with the first page.
#include "client/Database.h"
#include "client/ui/MessageBrowser.h"
#include "tests/client/doc/DocTestSupport.h"
#include "tests/client/browser/BrowserTestSupport.h"
#include "tests/support/Processes.h"
#include "tests/support/SqliteProbe.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <optional>

using namespace client;

namespace {

using testsupport::Xvfb;

class BrowserProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_FALSE(x_.display().isEmpty()) << "Xvfb did not start";
        const QString test = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        marker_ = testsupport::sandboxRoot() + QStringLiteral("/engine-starts-") + test + QStringLiteral(".log");
        wrapper_ = testsupport::sandboxRoot() + QStringLiteral("/bin/QtWebEngineProcess");
        const QString real =
            QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/QtWebEngineProcess");
        testsupport::writeExecutable(
            wrapper_, QStringLiteral("#!/bin/sh\necho \"$$\" >> '%1'\nexec '%2' \"$@\"\n").arg(marker_, real).toUtf8());
    }

    // OvexKelvo (or the copy `program`) with `args` on a display of its own.
    void startClient(const QStringList& args, const QString& program = {})
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(x_.display()));
        env.insert(QStringLiteral("QTWEBENGINEPROCESS_PATH"), wrapper_);
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        client_.reset();
        client_.emplace(program.isEmpty() ? testsupport::programPath(QStringLiteral("OvexKelvo")) : program,
                        QStringLiteral("ovex.client.info=true"), env,
                        QStringList{QStringLiteral("DBUS_SESSION_BUS_ADDRESS")},
                        testsupport::TracedProgram::Output::Merged);
        client_->start(args);
        ASSERT_TRUE(client_->process().waitForStarted(10000));
    }
    QProcess& client() { return client_->process(); }
    int engineStarts() const { return testsupport::readFile(marker_).count('\n'); }
    // The client's output so far.
    const QByteArray& output() { return client_->read(); }
    // Waits until the client has written `text`; false when it ended or time ran out first.
    bool waitForOutput(const QByteArray& text, int timeoutMs = 60000) { return client_->waitFor(text, timeoutMs); }
    // The files the running client has mapped, one a line.
    QByteArray mappedFiles() const
    {
        return testsupport::readFile(QStringLiteral("/proc/%1/maps").arg(client_->pid()));
    }
    // Ends the client as a logout does; it must end cleanly.
    void endClient()
    {
        EXPECT_TRUE(client_->terminate());
        EXPECT_EQ(client().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(client_->exitCode(), 0);
    }

    Xvfb x_{QStringLiteral("1024x768x24")};
    QString marker_, wrapper_;
    std::optional<testsupport::TracedProgram> client_;
};

// The engine's libraries, as file names show them.
const QRegularExpression kEngineLibrary(QStringLiteral("webengine|webchannel|quick|qml"),
                                        QRegularExpression::CaseInsensitiveOption);

// The libraries the loader would map for `file`, one "name => path" a line.
QString loaderDependencies(const QString& file)
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {file});
    EXPECT_TRUE(ldd.waitForFinished(30000));
    EXPECT_EQ(ldd.exitCode(), 0) << ldd.readAllStandardError().toStdString();
    return QString::fromLocal8Bit(ldd.readAllStandardOutput());
}

TEST(BrowserLibrary, TheProgramDependsOnNoPartOfTheEngine)
{
    if (QStandardPaths::findExecutable(QStringLiteral("ldd")).isEmpty())
        GTEST_SKIP() << "ldd is not installed";
    const QString program = testsupport::programPath(QStringLiteral("OvexKelvo"));
    const QString programs = loaderDependencies(program);
    ASSERT_TRUE(programs.contains(QStringLiteral("libQt6Widgets.so"))) << programs.toStdString();
    EXPECT_FALSE(programs.contains(kEngineLibrary)) << programs.toStdString();

    // The same look at the browser library beside it does find the engine.
    const QString browser = QFileInfo(program).absolutePath() + QStringLiteral("/" OVEX_BROWSER_LIBRARY_NAME);
    ASSERT_TRUE(QFileInfo::exists(browser));
    EXPECT_TRUE(loaderDependencies(browser).contains(QStringLiteral("libQt6WebEngineCore.so")));
}

TEST_F(BrowserProcess, AScheduledRunThatShowsNothingStartsNoEngine)
{
    startClient({QStringLiteral("/auto")});
    ASSERT_TRUE(client().waitForFinished(60000)) << output().toStdString();
    EXPECT_EQ(client().exitCode(), 0) << output().toStdString();
    EXPECT_EQ(engineStarts(), 0);
}

// The same display and wrapper do see the engine start once a window shows a page, so
// the test above can fail.
TEST_F(BrowserProcess, APlainStartShowingTheEmptyPageStartsTheEngine)
{
    startClient({});
    const QDeadlineTimer deadline(60000);
    while (engineStarts() == 0 && !deadline.hasExpired() && client().state() == QProcess::Running)
        QThread::msleep(50);
    EXPECT_GT(engineStarts(), 0) << output().toStdString();
    ::kill(pid_t(client().processId()), SIGTERM);
    EXPECT_TRUE(client().waitForFinished(30000));
}

// A scheduled run that announces a message and waits in the tray has not loaded the
// browser library; a start that shows the message loads the one beside the program, and
// the engine, loaded after the application, finds what it needs without a warning.
TEST_F(BrowserProcess, TheBrowserLibraryComesWithTheFirstPageShown)
{
    testsupport::writeFile(Database::GetFolder() + QStringLiteral("/r.tova"),
                           doctest::tovaFile(QStringLiteral("OVEX"), {QStringLiteral("m1")}));
    const QString library = QFileInfo(QFileInfo(testsupport::programPath(QStringLiteral("OvexKelvo"))).absolutePath() +
                                      QStringLiteral("/" OVEX_BROWSER_LIBRARY_NAME))
                                .canonicalFilePath();
    ASSERT_FALSE(library.isEmpty());

    startClient({QStringLiteral("/auto")});
    ASSERT_TRUE(waitForOutput("Announcing:")) << output().toStdString();
    const QString announcing = QString::fromUtf8(mappedFiles());
    ASSERT_TRUE(announcing.contains(QStringLiteral("libQt6Widgets.so")));
    EXPECT_FALSE(announcing.contains(QStringLiteral(OVEX_BROWSER_LIBRARY_NAME)));
    EXPECT_FALSE(announcing.contains(kEngineLibrary));
    EXPECT_EQ(engineStarts(), 0);
    endClient();

    startClient({});
    const QDeadlineTimer deadline(60000);
    while (engineStarts() == 0 && !deadline.hasExpired() && client().state() == QProcess::Running)
        QThread::msleep(50);
    ASSERT_GT(engineStarts(), 0) << output().toStdString();
    const QString showing = QString::fromUtf8(mappedFiles());
    EXPECT_TRUE(showing.contains(library)) << showing.toStdString();
    EXPECT_TRUE(showing.contains(QStringLiteral("libQt6WebEngineCore.so")));
    ASSERT_TRUE(waitForOutput("Showing message \"m1\"")) << output().toStdString();
    endClient();
    EXPECT_FALSE(output().contains("initialized from a plugin")) << output().toStdString();
    EXPECT_FALSE(output().contains("WebEngineContext used before")) << output().toStdString();
    EXPECT_FALSE(output().contains("browser library could not be loaded")) << output().toStdString();
}

// A copy of the program in a folder of its own finds no browser library, beside it or
// where the loader looks: it says so, and runs on with a window that shows no pages.
TEST_F(BrowserProcess, WithoutTheBrowserLibraryTheWindowShowsNoPages)
{
    const QString alone = testsupport::sandboxRoot() + QStringLiteral("/alone/OvexKelvo");
    testsupport::writeExecutable(alone, testsupport::readFile(testsupport::programPath(QStringLiteral("OvexKelvo"))));

    startClient({}, alone);
    ASSERT_TRUE(waitForOutput("browser library could not be loaded")) << output().toStdString();
    ASSERT_TRUE(waitForOutput("Showing the empty page")) << output().toStdString();
    QThread::msleep(500);
    EXPECT_EQ(client().state(), QProcess::Running) << output().toStdString();
    EXPECT_FALSE(QString::fromUtf8(mappedFiles()).contains(kEngineLibrary));
    EXPECT_EQ(engineStarts(), 0);
    endClient();
}

// A logout while the message page still loads (its server holds the reply for minutes)
// ends the program in order, and what it changed (the message now read) is saved.
TEST_F(BrowserProcess, ALogoutDuringAPageLoadEndsTheProgram)
{
    browsertest::PageServer pages;
    ASSERT_TRUE(pages.started());
    const QString url = pages.Url(QStringLiteral("button.html?delay=300")).toString();
    testsupport::writeFile(Database::GetFolder() + QStringLiteral("/r.tova"),
                           ">BeginMfgrInfo\nmfgr:OVEX\nfullname:Ovex Inc.\n>EndMfgrInfo\n>BeginMessage\nid:m1\n"
                           "offer:Slow\nurl:" +
                               url.toUtf8() + "\n>EndMessage\n");
    startClient({});
    ASSERT_TRUE(waitForOutput("Showing message \"m1\"")) << output().toStdString();
    endClient();
    EXPECT_EQ(testsupport::readRows(Database::GetFolder() + QStringLiteral("/brevant.dat"),
                                    "SELECT msgid, read FROM Message"),
              QStringList{QStringLiteral("m1|1")});
}

// What the window manager says of the message window ("Ovex Kelvo" on the empty page).
QByteArray windowState()
{
    QProcess tool;
    tool.start(QStringLiteral(OVEX_X_WINDOW_TOOL), {QStringLiteral("state"), QStringLiteral("Ovex Kelvo")});
    tool.waitForFinished(10000);
    return tool.readAllStandardOutput().trimmed();
}

bool waitForWindowState(const QByteArray& state)
{
    const QDeadlineTimer deadline(30000);
    while (windowState() != state) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

// Under a window manager the user minimizes the message window; starting the program
// again brings it back, restored, and the second start ends.
TEST_F(BrowserProcess, ASecondStartRestoresAMinimizedWindow)
{
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        GTEST_SKIP() << "openbox is not installed";
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", x_.display());
    QProcess wm;
    wm.start(QStringLiteral("openbox"), {});
    ASSERT_TRUE(wm.waitForStarted(10000));

    startClient({});
    ASSERT_TRUE(waitForOutput("Showing the empty page")) << output().toStdString();
    ASSERT_TRUE(waitForWindowState("normal")) << windowState().constData();
    const QStringList iconify{QStringLiteral("iconify"), QStringLiteral("Ovex Kelvo")};
    ASSERT_EQ(QProcess::execute(QStringLiteral(OVEX_X_WINDOW_TOOL), iconify), 0);
    ASSERT_TRUE(waitForWindowState("iconic")) << windowState().constData();

    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(x_.display()));
    const testsupport::RunResult second =
        testsupport::runProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), {}, env);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(waitForOutput("Bringing the message window to the front")) << output().toStdString();
    EXPECT_TRUE(waitForWindowState("normal")) << windowState().constData();

    endClient();
    wm.terminate();
    wm.waitForFinished(5000);
    qputenv("DISPLAY", display);
}

}  // namespace
