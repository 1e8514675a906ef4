#include "client/Database.h"
#include "tests/client/model/ModelTestSupport.h"
#include "tests/support/Processes.h"
#include "tests/support/SqliteProbe.h"

#include <gtest/gtest.h>

#include <QFile>

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
