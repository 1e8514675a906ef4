#include "client/Database.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <csignal>

using namespace client;

namespace {

// Rows of `sql` read from brevant.dat by a connection of our own, once the client is gone.
QStringList readRows(const char* sql)
{
    const QByteArray path = (Database::GetFolder() + "/brevant.dat").toUtf8();
    sqlite3* db = nullptr;
    QStringList out;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                QStringList values;
                for (int i = 0; i < sqlite3_column_count(st); ++i)
                    values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                out << values.join(u'|');
            }
            sqlite3_finalize(st);
        }
        else
            out << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    return out;
}

// Runs the built client until its document is open, then ends it as a logout would.
void runClient(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_LOGGING_RULES", "ovex.client.info=true");
    p.setProcessEnvironment(env);
    p.start(testsupport::programPath("OvexKelvo"), args);
    QByteArray err;
    QDeadlineTimer deadline(30000);
    while (!err.contains("Message window published") && !deadline.hasExpired() && p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("Message window published")) << err.constData();
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
}

void expectTemplateStored()
{
    EXPECT_EQ(readRows("SELECT mfgr,fullname FROM Manufacturer"), QStringList({"OVEX|Ovex Inc."}));
    EXPECT_EQ(readRows("SELECT name FROM Channel ORDER BY chnid"),
              QStringList({"critical_updates", "service_alerts", "product_updates"}));
    EXPECT_EQ(readRows("SELECT value FROM RegField WHERE field='MODL'"), QStringList({"Ovex Book 14"}));
    EXPECT_EQ(readRows("SELECT COUNT(*) FROM Subscription"), QStringList({"3"}));
    EXPECT_EQ(readRows("SELECT m.msgid,p.value FROM Message m JOIN MessageParam p ON p.msgid=m.msgid AND p.param='title'"),
              QStringList({"44cc1539-8360-4de3-8981-f70bb6c73714|Welcome to Ovex Kelvo"}));
}

TEST(ClientImport, ImportSwitch)
{
    const QString file = testsupport::sandboxRoot() + "/Downloads/Ovex Kelvo.tova";
    testsupport::writeFile(file, testsupport::readFile(modeltest::fixture("launcher-template.tova")));
    runClient({"/import", file});
    EXPECT_FALSE(QFile::exists(file));
    expectTemplateStored();
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

}  // namespace
