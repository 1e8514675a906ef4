#include "client/Database.h"

#include "tests/support/Processes.h"
#include "tests/support/SqliteProbe.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

using namespace client;

namespace {

const char kPublished[] = "Message window published";
const char kRaised[] = "Bringing the message window to the front";

// The built client, run as a user would start it, with its traces on stderr.
class Client : public testsupport::TracedProgram {
public:
    Client()
        : TracedProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), QStringLiteral("ovex.client.info=true"))
    {}
};

using testsupport::tryExclusiveLock;

TEST(ClientProcess, SingleInstanceAcrossStartsAndKills)
{
    const QString db = Database::GetFolder() + QStringLiteral("/brevant.dat");

    Client first;
    first.start();
    ASSERT_TRUE(first.waitFor(kPublished));
    EXPECT_EQ(tryExclusiveLock(db), QByteArray("database is locked"));

    // A second start ends at once, without loading the HTTP library it has no use for,
    // and asks the first to raise its window.
    QProcessEnvironment loaderTrace;
    loaderTrace.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    const testsupport::RunResult second =
        testsupport::runProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), {}, loaderTrace);
    EXPECT_FALSE(second.timedOut);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.err.contains("libQt6Core.so")) << "no loader trace";
    EXPECT_FALSE(second.err.contains("libcurl.so")) << second.err.toStdString();
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

// A data file that SQLite finds damaged is said once, with its path and what to do; the
// client ends with its own code and leaves the file as it was.
struct DamagedCase {
    const char* name;
    QByteArray (*make)();
    const char* reason;
    friend void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.name; }
};

QByteArray randomBytes()
{
    QRandomGenerator generator(28);
    QByteArray bytes(8192, Qt::Uninitialized);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    return bytes;
}

// A database of many pages, cut off in the middle of one.
QByteArray truncatedMidPage()
{
    sqlite3* db = Database::Instance();
    Database::Query(
        "CREATE TABLE Filler (text); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n "
        "WHERE i < 500) INSERT INTO Filler SELECT printf('%0200d', i) FROM n",
        db);
    Database::Commit(db);
    Database::Close();
    const QString path = Database::GetFolder() + QStringLiteral("/brevant.dat");
    const QByteArray whole = testsupport::readFile(path);
    EXPECT_GT(whole.size(), 16 * 4096);
    return whole.left(whole.size() / 2 + 1000);
}

class DamagedDatabase : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedDatabase, IsSaidOnceAndLeftAlone)
{
    const QString db = Database::GetFolder() + QStringLiteral("/brevant.dat");
    const QByteArray damaged = GetParam().make();
    testsupport::writeFile(db, damaged);
    const testsupport::RunResult r = testsupport::runProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), {});
    EXPECT_FALSE(r.timedOut);
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 2);
    const QString said = QString::fromLocal8Bit(r.err);
    const QString line =
        QStringLiteral("Ovex Kelvo: The message database \"%1\" is damaged (%2).").arg(db, GetParam().reason);
    EXPECT_EQ(said.count(line), 1) << r.err.constData();
    EXPECT_EQ(said.count(QStringLiteral("is damaged")), 1) << r.err.constData();
    EXPECT_TRUE(said.contains(QStringLiteral("Restore the file from a backup"))) << r.err.constData();
    EXPECT_EQ(testsupport::readFile(db), damaged);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedDatabase,
                         ::testing::Values(DamagedCase{"RandomBytes", randomBytes, "file is not a database"},
                                           DamagedCase{"TruncatedMidPage", truncatedMidPage,
                                                       "database disk image is malformed"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file another process holds is the end the design means: silent, and not a failure.
TEST(ClientProcess, EndsSilentlyWhenAnotherProcessHoldsTheDatabase)
{
    Database::Instance();  // this process takes the exclusive lock
    const testsupport::RunResult r = testsupport::runProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), {});
    Database::Close();
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(r.err.contains("damaged")) << r.err.constData();
}

// A data folder the user cannot write: a save that fails (here "/reset" deleting the
// messages, then the read mark of the message shown) is said once, with the file and
// SQLite's reason; what is stored stays, and the run goes on and ends in order.
TEST(ClientProcess, FailedSaveInAReadOnlyFolderIsSaidOnce)
{
    const QString folder = Database::GetFolder();
    const QString db = folder + QStringLiteral("/brevant.dat");
    const QString fixture = testsupport::fixturePath(QStringLiteral("tova/launcher-template.tova"));
    testsupport::writeFile(folder + QStringLiteral("/Ovex Kelvo.tova"), testsupport::readFile(fixture));
    {
        // A scheduled run imports and keeps the welcome message unread.
        Client setup;
        setup.start({QStringLiteral("/auto")});
        ASSERT_TRUE(setup.waitFor("Announcing:")) << setup.err().constData();
        ASSERT_TRUE(setup.terminate());
    }
    const QStringList stored = testsupport::readRows(db, "SELECT msgid, deleted, read FROM Message");
    ASSERT_EQ(stored, QStringList{QStringLiteral("44cc1539-8360-4de3-8981-f70bb6c73714|0|0")});

    // The file stays writable for the user; the folder, where SQLite writes its journal, not.
    // Folders are made private; the user must get through them to the file.
    for (QString dir = folder; dir.startsWith(testsupport::sandboxRoot()); dir = QFileInfo(dir).path())
        ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0755), 0) << dir.toStdString();
    const QString runtime = testsupport::sandboxRoot() + QStringLiteral("/nobody-runtime");
    QDir().mkpath(runtime);
    ASSERT_EQ(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(runtime).constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(db).constData(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);

    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    testsupport::TracedProgram client(testsupport::programPath(QStringLiteral("OvexKelvo")),
                                      QStringLiteral("ovex.client.info=true"), env);
    testsupport::runAsNobodyWhenRoot(client.process());
    client.start({QStringLiteral("/reset")});
    const bool shown = client.waitFor("Showing message");
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    if (testsupport::couldNotBecomeNobody(client.process()))
        GTEST_SKIP() << "cannot run as nobody";
    ASSERT_TRUE(shown) << client.err().constData();
    ASSERT_TRUE(client.terminate());
    EXPECT_EQ(client.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(client.err());
    EXPECT_EQ(said.count(QStringLiteral("Ovex Kelvo: Ovex Kelvo could not save your changes in \"%1\" "
                                        "(attempt to write a readonly database).")
                             .arg(db)),
              1)
        << client.err().constData();
    EXPECT_EQ(said.count(QStringLiteral("could not save")), 1) << client.err().constData();
    EXPECT_EQ(testsupport::readRows(db, "SELECT msgid, deleted, read FROM Message"), stored);
}

// With no display to be had, a start the user made ends with one line of its own and
// code 1, never Qt's abort; the display that is named but gone counts as none.
struct NoDisplayCase {
    const char* name;
    const char* display;  // nullptr: none named
    friend void PrintTo(const NoDisplayCase& c, std::ostream* os) { *os << c.name; }
};

class NoDisplay : public ::testing::TestWithParam<NoDisplayCase> {};

TEST_P(NoDisplay, SaysSoInOneLine)
{
    QProcessEnvironment env;
    if (GetParam().display)
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(GetParam().display));
    QStringList unset{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("WAYLAND_DISPLAY")};
    if (!GetParam().display)
        unset << QStringLiteral("DISPLAY");
    testsupport::TracedProgram client(testsupport::programPath(QStringLiteral("OvexKelvo")), QString(), env, unset);
    client.start();
    ASSERT_TRUE(client.finish(20000)) << client.err().constData();
    EXPECT_EQ(client.exitCode(), 1);
    EXPECT_EQ(client.err(), QByteArray("OvexKelvo: no display to show its windows on (DISPLAY and WAYLAND_DISPLAY name "
                                       "none that can be opened); start it in a desktop session, or with /auto to "
                                       "check for messages without windows\n"));
    // It ended before anything was opened.
    EXPECT_FALSE(QFile::exists(Database::GetFolder() + QStringLiteral("/brevant.dat")));
}

INSTANTIATE_TEST_SUITE_P(Environments, NoDisplay,
                         ::testing::Values(NoDisplayCase{"NoneNamed", nullptr}, NoDisplayCase{"GoneX11", ":4711"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
