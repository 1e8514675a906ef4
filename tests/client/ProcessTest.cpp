#include "client/Database.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <csignal>

using namespace client;

namespace {

const char kPublished[] = "Message window published";
const char kRaised[] = "Bringing the message window to the front";

// The built client, run as a user would start it, with its traces on stderr.
class Client {
public:
    Client()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("ovex.client.info=true"));
        p_.setProcessEnvironment(env);
    }
    ~Client()
    {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(5000);
        }
    }
    void start(const QStringList& args = {}) { p_.start(testsupport::programPath(QStringLiteral("OvexKelvo")), args); }

    // Waits until stderr holds `text`.
    bool waitFor(const char* text, int ms = 20000)
    {
        QDeadlineTimer deadline(ms);
        while (!err_.contains(text)) {
            if (deadline.hasExpired() || p_.state() == QProcess::NotRunning)
                return err_.contains(text);
            p_.waitForReadyRead(100);
            err_ += p_.readAllStandardError();
        }
        return true;
    }
    QProcess& process() { return p_; }

private:
    QProcess p_;
    QByteArray err_;
};

QByteArray tryLock(const QString& path)
{
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import sqlite3,sys\n"
                             "c=sqlite3.connect(sys.argv[1], timeout=0, isolation_level=None)\n"
                             "try:\n c.execute('BEGIN EXCLUSIVE'); print('locked')\n"
                             "except sqlite3.OperationalError as e: print(e)\n"),
              path});
    py.waitForFinished(20000);
    return py.readAllStandardOutput().trimmed();
}

TEST(ClientProcess, SingleInstanceAcrossStartsAndKills)
{
    const QString db = Database::GetFolder() + QStringLiteral("/brevant.dat");

    Client first;
    first.start();
    ASSERT_TRUE(first.waitFor(kPublished));
    EXPECT_EQ(tryLock(db), QByteArray("database is locked"));

    // A second start ends at once and asks the first to raise its window.
    const testsupport::RunResult second = testsupport::runProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), {});
    EXPECT_FALSE(second.timedOut);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(first.waitFor(kRaised, 10000));

    // A killed first instance leaves nothing that blocks the next start.
    ::kill(pid_t(first.process().processId()), SIGKILL);
    first.process().waitForFinished(5000);

    Client next;
    next.start();
    ASSERT_TRUE(next.waitFor(kPublished));

    // A logout's SIGTERM ends it in order: exit code 0 and the lock released.
    ::kill(pid_t(next.process().processId()), SIGTERM);
    ASSERT_TRUE(next.process().waitForFinished(20000));
    EXPECT_EQ(next.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(next.process().exitCode(), 0);
    EXPECT_EQ(tryLock(db), QByteArray("locked"));
}

// A data file that is not a database ends the client silently and is left alone.
TEST(ClientProcess, EndsSilentlyOnABrokenDatabase)
{
    const QString db = Database::GetFolder() + QStringLiteral("/brevant.dat");
    const QByteArray junk = QByteArray("not a database\n").repeated(100);
    testsupport::writeFile(db, junk);
    const testsupport::RunResult r = testsupport::runProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), {});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(testsupport::readFile(db), junk);
}

}  // namespace
