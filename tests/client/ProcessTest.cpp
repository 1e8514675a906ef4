#include "client/Database.h"

#include "tests/support/Processes.h"
#include "tests/support/SqliteProbe.h"
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
class Client : public testsupport::TracedProgram {
public:
    Client() : TracedProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), QStringLiteral("ovex.client.info=true")) {}
};

using testsupport::tryExclusiveLock;

TEST(ClientProcess, SingleInstanceAcrossStartsAndKills)
{
    const QString db = Database::GetFolder() + QStringLiteral("/brevant.dat");

    Client first;
    first.start();
    ASSERT_TRUE(first.waitFor(kPublished));
    EXPECT_EQ(tryExclusiveLock(db), QByteArray("database is locked"));

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
    EXPECT_EQ(tryExclusiveLock(db), QByteArray("locked"));
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
