#include "client/Database.h"
#include "tests/client/model/ModelTestSupport.h"
#include "tests/support/Processes.h"
#include "tests/support/SqliteProbe.h"

#include <gtest/gtest.h>

#include <QDir>
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

}  // namespace
