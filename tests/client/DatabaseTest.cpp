#include "client/Database.h"

#include "tests/support/SqliteProbe.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace client;

namespace {

QString dbPath()
{
    return Database::GetFolder() + QStringLiteral("/brevant.dat");
}

TEST(DatabaseText, QuoteDoublesApostrophesOnly)
{
    EXPECT_EQ(Database::Quote(QStringLiteral("O'Brien's")), QStringLiteral("O''Brien''s"));
    EXPECT_EQ(Database::Quote(QStringLiteral("plain \"text\"")), QStringLiteral("plain \"text\""));
    EXPECT_EQ(Database::Quote(QString()), QString());
}

TEST(DatabaseQuery, RowsNullsErrorsAndNextId)
{
    sqlite3* db = Database::Instance();
    ASSERT_NE(db, nullptr);
    EXPECT_TRUE(QFile::exists(dbPath()));

    int error = -1;
    Database::Query(QStringLiteral("CREATE TABLE t (id INTEGER, name TEXT)"), db, &error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(Database::NextId(QStringLiteral("id"), db, QStringLiteral("t")), QStringLiteral("1"));

    Database::Query(QStringLiteral("INSERT INTO t VALUES (7, NULL); INSERT INTO t VALUES (3, 'caf\u00e9 ''x''')"), db);
    EXPECT_EQ(Database::NextId(QStringLiteral("id"), db, QStringLiteral("t")), QStringLiteral("8"));

    const Database::Rows rows = Database::Query(QStringLiteral("SELECT id, name FROM t ORDER BY id"), db, &error);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(GetField(rows[0], QStringLiteral("name")), QStringLiteral("caf\u00e9 'x'"));
    EXPECT_EQ(GetField(rows[1], QStringLiteral("id")), QStringLiteral("7"));
    EXPECT_TRUE(rows[1].contains(QStringLiteral("name")));
    EXPECT_EQ(GetField(rows[1], QStringLiteral("name")), QString());

    // A failing statement reports its code and throws nothing.
    const Database::Rows none = Database::Query(QStringLiteral("SELECT * FROM missing"), db, &error);
    EXPECT_NE(error, 0);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(Database::NextId(QStringLiteral("id"), db, QStringLiteral("missing")), QString());
}

// The record types make their tables through one list each: a statement that fails stops
// the list there, and reports it, rather than leaving a later table half made on top of it.
TEST(DatabaseQuery, ExecuteStopsAtTheFirstFailingStatement)
{
    sqlite3* db = Database::Instance();
    EXPECT_TRUE(Database::Execute({"CREATE TABLE a (x)", "CREATE INDEX a_x ON a (x)"}, db));
    EXPECT_FALSE(Database::Execute({"CREATE TABLE b (x)", "CREATE TABLE a (x)", "CREATE TABLE c (x)"}, db));
    const Database::Rows tables = Database::Query(QStringLiteral("SELECT name FROM sqlite_master ORDER BY name"), db);
    QStringList names;
    for (const RecordMap& row : tables)
        names << GetField(row, QStringLiteral("name"));
    EXPECT_EQ(names, (QStringList{"a", "a_x", "b"}));
    EXPECT_TRUE(Database::Execute({}, db));
}

// While the client runs, another process can neither lock nor write the file.
TEST(DatabaseLock, SecondProcessCannotLock)
{
    sqlite3* db = Database::Instance();
    Database::Query(QStringLiteral("CREATE TABLE t (name TEXT)"), db);
    Database::Commit(db);

    EXPECT_EQ(testsupport::tryExclusiveLock(dbPath()), QByteArray("database is locked"));
}

// A client that finds the file held by another process fails at once with SQLite's text.
TEST(DatabaseLock, OpenFailsWhileAnotherProcessHoldsTheFile)
{
    const QString path = Database::GetFolder() + QStringLiteral("/brevant.dat");
    QProcess holder;
    holder.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sqlite3,sys\n"
                                 "c=sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                 "c.execute('BEGIN EXCLUSIVE'); c.execute('CREATE TABLE t (name TEXT)')\n"
                                 "print('held', flush=True); sys.stdin.read()\n"),
                  path});
    ASSERT_TRUE(holder.waitForReadyRead(20000));
    ASSERT_EQ(holder.readAllStandardOutput().trimmed(), QByteArray("held"));

    try {
        Database::Open(QStringLiteral("brevant.dat"));
        FAIL() << "the lock was taken twice";
    } catch (const StorageException& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unable to lock database file: database is locked"));
        EXPECT_TRUE(e.IsHeldByAnother());
        EXPECT_FALSE(e.IsDamaged());
    }
    holder.closeWriteChannel();
    holder.waitForFinished(10000);
}

// A file that is not a database is refused and left exactly as it was.
TEST(DatabaseOpen, NotADatabaseIsRefusedAndUntouched)
{
    const QByteArray junk = QByteArray("this is not a database file, just text\n").repeated(200);
    testsupport::writeFile(dbPath(), junk);
    try {
        Database::Instance();
        FAIL() << "opened a file that is not a database";
    } catch (const StorageException& e) {
        EXPECT_TRUE(e.IsDamaged());
        EXPECT_FALSE(e.IsHeldByAnother());
        EXPECT_EQ(e.path(), dbPath());
        EXPECT_EQ(e.reason(), QStringLiteral("file is not a database"));
    }
    EXPECT_EQ(testsupport::readFile(dbPath()), junk);
    EXPECT_FALSE(QFile::exists(dbPath() + QStringLiteral("-journal")));
}

// A name SQLite cannot open as a file: no connection is left behind, and a later call,
// once the name is free, opens.
TEST(DatabaseOpen, UnopenableFileThrowsAndALaterCallOpens)
{
    ASSERT_TRUE(QDir().mkpath(dbPath()));
    try {
        Database::Instance();
        FAIL() << "opened a folder as the database";
    } catch (const StorageException& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Unable to open database file")))
            << e.message().toStdString();
    }
    ASSERT_TRUE(QDir().rmdir(dbPath()));
    EXPECT_NE(Database::Instance(), nullptr);
}

// Without a data folder there is no connection to run statements on.
TEST(DatabaseOpen, NoDataFolderThrows)
{
    const QString blocker = testsupport::sandboxRoot() + QStringLiteral("/home/.local/share/Ovex");
    testsupport::writeFile(blocker, "a file where the folder should be");
    try {
        Database::Instance();
        FAIL() << "opened without a data folder";
    } catch (const StorageException& e) {
        EXPECT_EQ(e.message().toStdString(), "Unable to open database file: Unable to make the folder " +
                                                 blocker.toStdString() + "/Ovex Kelvo: Not a directory");
    }
}

// A save that fails halfway (the disk filled after its DELETE) is rolled back by its
// commit, so the old rows stay; the first such failure of the run is reported, once.
TEST(DatabaseFailure, HalfASaveIsRolledBackAndReportedOnce)
{
    sqlite3* db = Database::Instance();
    Database::Query(QStringLiteral("CREATE TABLE Setting (setting TEXT, value TEXT);"
                                   "INSERT INTO Setting VALUES ('a','1')"),
                    db);
    ASSERT_TRUE(Database::Commit(db));
    QStringList reports;
    Database::SetFailureReporter(
        [&](const QString& path, const QString& message) { reports << path + u'|' + message; });
    const QString pages =
        Database::Query(QStringLiteral("PRAGMA page_count"), db).front().value(QStringLiteral("page_count"));
    Database::Query(QStringLiteral("PRAGMA max_page_count = ") + pages, db);

    for (int attempt = 0; attempt < 2; ++attempt) {
        Database::Query(QStringLiteral("DELETE FROM Setting"), db);
        int error = 0;
        Database::Query(QStringLiteral("INSERT INTO Setting VALUES ('big', hex(randomblob(100000)))"), db, &error);
        EXPECT_EQ(error & 0xff, SQLITE_FULL);
        EXPECT_FALSE(Database::Commit(db));
    }
    EXPECT_EQ(reports, QStringList{dbPath() + QStringLiteral("|database or disk is full")});

    // Room again: the next save is whole and durable.
    Database::Query(QStringLiteral("PRAGMA max_page_count = 1000000"), db);
    Database::Query(QStringLiteral("INSERT INTO Setting VALUES ('b','2')"), db);
    EXPECT_TRUE(Database::Commit(db));
    Database::SetFailureReporter({});
    Database::Close();
    EXPECT_EQ(testsupport::readRows(dbPath(), "SELECT setting, value FROM Setting ORDER BY setting"),
              (QStringList{"a|1", "b|2"}));
}

// Inside a batch a save that failed halfway rolls back at its own commit, not at the
// batch's end: the caller reloads at once and must read the rows that stay; a whole save
// later in the batch is still made durable by it.
TEST(DatabaseFailure, HalfASaveInABatchIsRolledBackAtItsCommit)
{
    sqlite3* db = Database::Instance();
    Database::Query(QStringLiteral("CREATE TABLE Setting (setting TEXT, value TEXT);"
                                   "INSERT INTO Setting VALUES ('a','1')"),
                    db);
    ASSERT_TRUE(Database::Commit(db));
    Database::SetFailureReporter([](const QString&, const QString&) {});
    const QString pages =
        Database::Query(QStringLiteral("PRAGMA page_count"), db).front().value(QStringLiteral("page_count"));
    {
        Database::Batch batch(db);
        Database::Query(QStringLiteral("PRAGMA max_page_count = ") + pages, db);
        Database::Query(QStringLiteral("DELETE FROM Setting"), db);
        Database::Query(QStringLiteral("INSERT INTO Setting VALUES ('big', hex(randomblob(100000)))"), db);
        EXPECT_FALSE(Database::Commit(db));
        const Database::Rows rows = Database::Query(QStringLiteral("SELECT setting FROM Setting"), db);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows.front().value(QStringLiteral("setting")), QStringLiteral("a"));

        Database::Query(QStringLiteral("PRAGMA max_page_count = 1000000"), db);
        Database::Query(QStringLiteral("INSERT INTO Setting VALUES ('b','2')"), db);
        EXPECT_TRUE(Database::Commit(db));
        EXPECT_TRUE(batch.Finish());
    }
    Database::SetFailureReporter({});
    Database::Close();
    EXPECT_EQ(testsupport::readRows(dbPath(), "SELECT setting, value FROM Setting ORDER BY setting"),
              (QStringList{"a|1", "b|2"}));
}

// Each save is durable when it returns; what came after the last save is gone when the
// process dies.
TEST(DatabaseDurability, KilledProcessKeepsOnlyCommittedWork)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        sqlite3* db = Database::Instance();
        Database::Query(QStringLiteral("CREATE TABLE t (name TEXT)"), db);
        Database::Query(QStringLiteral("INSERT INTO t VALUES ('saved')"), db);
        Database::Commit(db);
        Database::Query(QStringLiteral("INSERT INTO t VALUES ('unsaved')"), db);
        const char c = 'r';
        (void)!::write(ready[1], &c, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);

    EXPECT_EQ(testsupport::readRows(dbPath(), "SELECT name FROM t ORDER BY name"),
              QStringList{QStringLiteral("saved")});
}

}  // namespace
