// The built client as a process on a real X server (Xvfb): the browser engine starts
// with the first page shown, and a scheduled run that shows nothing starts none. The
// engine's helper program is replaced by a wrapper that notes each start and then runs
// the real one, so no start can slip between two looks at the process list.
#include "client/Database.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

namespace {

// A throwaway X server that picks its own display.
class Xvfb {
public:
    Xvfb()
    {
        process_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                                                QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("1024x768x24")});
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(10000))
            display_ = u':' + QString::fromLatin1(process_.readLine().trimmed());
    }
    ~Xvfb()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000))
                process_.kill();
        }
    }
    QString display() const { return display_; }

private:
    QProcess process_;
    QString display_;
};

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
        const QString real = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/QtWebEngineProcess");
        testsupport::writeFile(wrapper_, QStringLiteral("#!/bin/sh\necho \"$$\" >> '%1'\nexec '%2' \"$@\"\n")
                                             .arg(marker_, real)
                                             .toUtf8());
        QFile::setPermissions(wrapper_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override
    {
        if (client_.state() != QProcess::NotRunning) {
            client_.kill();
            client_.waitForFinished(10000);
        }
    }

    // OvexKelvo with `args` on a display of its own.
    void startClient(const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), x_.display());
        env.insert(QStringLiteral("QTWEBENGINEPROCESS_PATH"), wrapper_);
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        client_.setProcessEnvironment(env);
        client_.setProcessChannelMode(QProcess::MergedChannels);
        client_.start(testsupport::programPath(QStringLiteral("OvexKelvo")), args);
        ASSERT_TRUE(client_.waitForStarted(10000));
    }
    int engineStarts() const { return testsupport::readFile(marker_).count('\n'); }

    Xvfb x_;
    QString marker_, wrapper_;
    QProcess client_;
};

TEST_F(BrowserProcess, AScheduledRunThatShowsNothingStartsNoEngine)
{
    startClient({QStringLiteral("/auto")});
    ASSERT_TRUE(client_.waitForFinished(60000)) << client_.readAll().toStdString();
    EXPECT_EQ(client_.exitCode(), 0) << client_.readAll().toStdString();
    EXPECT_EQ(engineStarts(), 0);
}

// The same display and wrapper do see the engine start once a window shows a page, so
// the test above can fail.
TEST_F(BrowserProcess, APlainStartShowingTheEmptyPageStartsTheEngine)
{
    startClient({});
    const QDeadlineTimer deadline(60000);
    while (engineStarts() == 0 && !deadline.hasExpired() && client_.state() == QProcess::Running)
        QThread::msleep(50);
    EXPECT_GT(engineStarts(), 0) << client_.readAll().toStdString();
    ::kill(pid_t(client_.processId()), SIGTERM);
    EXPECT_TRUE(client_.waitForFinished(30000));
}

}  // namespace
