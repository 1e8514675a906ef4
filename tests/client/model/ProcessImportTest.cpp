#include "client/Database.h"
#include "tests/client/model/ModelTestSupport.h"
#include "tests/support/Processes.h"
#include "tests/support/SqliteProbe.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <sqlite3.h>

#include <csignal>

using namespace client;

namespace {

// Rows of `sql` read from brevant.dat by a connection of our own, once the client is gone.
QStringList readRows(const char* sql)
{
    return testsupport::readRows(Database::GetFolder() + "/brevant.dat", sql);
}

// Runs the built client until its document is open, then ends it as a logout would.
void runClient(const QStringList& args)
{
    testsupport::TracedProgram client(testsupport::programPath("OvexKelvo"), QStringLiteral("ovex.client.info=true"));
    client.start(args);
    ASSERT_TRUE(client.waitFor("Message window published")) << client.err().constData();
    ASSERT_TRUE(client.terminate(20000));
    EXPECT_EQ(client.exitCode(), 0);
}

void expectTemplateStored()
{
    EXPECT_EQ(readRows("SELECT mfgr,fullname FROM Manufacturer"), QStringList({"OVEX|Ovex Inc."}));
    EXPECT_EQ(readRows("SELECT name FROM Channel ORDER BY chnid"),
              QStringList({"critical_updates", "service_alerts", "product_updates"}));
    EXPECT_EQ(readRows("SELECT value FROM RegField WHERE field='MODL'"), QStringList({"Ovex Book 14"}));
    EXPECT_EQ(readRows("SELECT COUNT(*) FROM Subscription"), QStringList({"3"}));
    EXPECT_EQ(
        readRows("SELECT m.msgid,p.value FROM Message m JOIN MessageParam p ON p.msgid=m.msgid AND p.param='title'"),
        QStringList({"44cc1539-8360-4de3-8981-f70bb6c73714|Welcome to Ovex Kelvo"}));
}

// "/import FILE" uses up a file of the data folder, as the folder's own import does; a
// file elsewhere is the user's and stays. Either way what it holds is stored.
TEST(ClientImport, ImportSwitchDeletesOnlyInTheDataFolder)
{
    struct Case {
        const char* name;
        QString file;
        bool kept;
    };
    const QString folder = Database::GetFolder();
    QDir().mkpath(testsupport::sandboxRoot() + "/Downloads");
    // A link in the data folder to the user's own copy is still the user's file.
    const QString outside = testsupport::sandboxRoot() + "/Downloads/Ovex Kelvo.tova";
    const Case cases[] = {
        {"outside", outside, true},
        {"inside", folder + "/Ovex Kelvo.tova", false},
        {"inside by a relative path", folder + "/../Ovex Kelvo/Ovex Kelvo.tova", false},
        {"a link inside to a file outside", folder + "/link.tova", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(folder + "/brevant.dat");
        const QByteArray tova = testsupport::readFile(modeltest::fixture("launcher-template.tova"));
        if (QString(c.name).startsWith("a link")) {
            testsupport::writeFile(outside, tova);
            ASSERT_TRUE(QFile::link(outside, c.file));
        } else {
            testsupport::writeFile(c.file, tova);
        }
        runClient({"/import", c.file});
        EXPECT_EQ(QFile::exists(c.file), c.kept);
        EXPECT_TRUE(QFile::exists(outside) || !c.kept);
        expectTemplateStored();
        QFile::remove(c.file);
        QFile::remove(outside);
    }
}

TEST(ClientImport, DataFolder)
{
    const QString file = Database::GetFolder() + "/Ovex Kelvo.tova";
    testsupport::writeFile(file, testsupport::readFile(modeltest::fixture("launcher-template.tova")));
    runClient({});
    EXPECT_FALSE(QFile::exists(file));
    expectTemplateStored();

    // "/reset" clears the messages and nothing else.
    runClient({"/RESET"});
    EXPECT_EQ(readRows("SELECT COUNT(*) FROM Message"), QStringList({"0"}));
    EXPECT_EQ(readRows("SELECT COUNT(*) FROM MessageParam"), QStringList({"0"}));
    EXPECT_EQ(readRows("SELECT COUNT(*) FROM RegRecord"), QStringList({"1"}));
}

// ---- A kill -9 during the import ----

constexpr int kMessages = 3000;

// A registration file of `kMessages` messages "k-1", "k-2", ... with two parameters each.
QByteArray largeRegistration()
{
    QByteArray text = testsupport::readFile(modeltest::fixture("launcher-template.tova"));
    text.truncate(text.indexOf(">BeginMessage"));
    for (int i = 1; i <= kMessages; ++i)
        text += ">BeginMessage\nid:k-" + QByteArray::number(i) + "\noffer:Offer " + QByteArray::number(i) +
                "\nurl:http://example.invalid/" + QByteArray::number(i) + "\n>EndMessage\n";
    return text;
}

// One number from brevant.dat by a writing connection of our own, which rolls back what a
// killed process left in its journal, as the next start would; -1 when there is no table.
int countRows(const char* sql)
{
    sqlite3* db = nullptr;
    const QByteArray path = QFile::encodeName(Database::GetFolder() + "/brevant.dat");
    int n = -1;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            n = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return n;
}

// Where the client is when it is killed, as seen from outside: just started; the journal
// there (the import is writing); the journal gone again (committed, the file perhaps not
// yet deleted); the window published (all done). Each state is waited for, never a time;
// a state that passed unseen only moves the kill later, and the rows must be whole at
// any moment.
enum class KillPoint { AtStart, WhileWriting, AfterCommit, WhenDone };

struct KillCase {
    const char* name;
    KillPoint point;
};

class ImportKilled : public testing::TestWithParam<KillCase> {};

TEST_P(ImportKilled, LeavesAllOfTheFileOrNoneAndTheNextStartStoresItOnce)
{
    const QString file = Database::GetFolder() + "/Ovex Kelvo.tova";
    const QString journal = Database::GetFolder() + "/brevant.dat-journal";
    testsupport::writeFile(file, largeRegistration());

    testsupport::TracedProgram client(testsupport::programPath("OvexKelvo"), QStringLiteral("ovex.client.info=true"));
    client.start();
    ASSERT_TRUE(client.process().waitForStarted(20000));
    QElapsedTimer waited;
    waited.start();
    bool journalSeen = false;
    const auto reached = [&] {
        const bool journalNow = QFile::exists(journal);
        switch (GetParam().point) {
        case KillPoint::AtStart: return true;
        case KillPoint::WhileWriting: return journalNow;
        case KillPoint::AfterCommit: journalSeen = journalSeen || journalNow; return journalSeen && !journalNow;
        case KillPoint::WhenDone: return true;
        }
        return true;
    };
    if (GetParam().point == KillPoint::WhenDone)
        client.waitFor("Message window published");
    while (client.running() && !reached() && waited.elapsed() < 60000)
        QThread::usleep(50);
    ASSERT_TRUE(client.running()) << client.err().constData();
    ::kill(pid_t(client.pid()), SIGKILL);
    client.process().waitForFinished(20000);

    const int stored = countRows("SELECT COUNT(*) FROM Message WHERE msgid LIKE 'k-%'");
    const int params = countRows("SELECT COUNT(*) FROM MessageParam WHERE msgid LIKE 'k-%'");
    const int records = countRows("SELECT COUNT(*) FROM RegRecord");
    if (stored <= 0) {
        EXPECT_TRUE(QFile::exists(file)) << "the file went, its rows did not come";
        EXPECT_LE(params, 0);
        EXPECT_LE(records, 0) << "a record without the file's messages";
    } else {
        EXPECT_EQ(stored, kMessages);
        EXPECT_EQ(params, 2 * kMessages);
        EXPECT_EQ(records, 1);
    }
    if (GetParam().point == KillPoint::WhenDone) {
        EXPECT_FALSE(QFile::exists(file));
    }

    // The next start finds what the killed one left and ends with the file stored once.
    runClient({});
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM Message WHERE msgid LIKE 'k-%'"), kMessages);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM MessageParam WHERE msgid LIKE 'k-%'"), 2 * kMessages);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM RegRecord"), 1);
}

INSTANTIATE_TEST_SUITE_P(Points, ImportKilled,
                         testing::Values(KillCase{"AtStart", KillPoint::AtStart},
                                         KillCase{"WhileWriting", KillPoint::WhileWriting},
                                         KillCase{"AfterCommit", KillPoint::AfterCommit},
                                         KillCase{"WhenDone", KillPoint::WhenDone}),
                         [](const testing::TestParamInfo<KillCase>& info) { return std::string(info.param.name); });

}  // namespace
