#include "launcher/script/ScriptReader.h"
#include "launcher/update/ResUpdateChecksum.h"
#include "launcher/update/ResUpdateDialog.h"
#include "launcher/update/ResourceUpdate.h"
#include "launcher/update/UpdateFolder.h"
#include "launcher/update/UpdateRpc.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/SmartFile.h"
#include "regengine/ui/pages/QmRegPage.h"

#include "platform/registry/Registry.h"

#include "tests/peers/Peers.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLibrary>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <cstdlib>

using namespace engine;
using namespace launcher;

namespace {

// The status texts of table "RUPD", by position.
const QString kTexts = QStringLiteral(
    ">STRINGTABLE RUPD ENGL\n1 one\n2 two\n3 three\n4 Checking the connection...\n5 No connection.\n"
    "6 Connected.\n7 Checking for an update...\n8 eight\n9 Downloading the update...\n10 The request failed.\n"
    "11 Verifying and saving...\n12 The update's checksum does not match.\n13 Applying the update...\n"
    "14 The update is finished.\n15 Cancelled.\n16 The server reported an error.\n");

const QString kScript = QStringLiteral(
    ">WIND HOLD 0 0 300 200 0x00020000 Registration\n"
    // The header codes the script's end sets, so a later start opens the same key at its
    // first page.
    ">SETHEADER MFGR OVEX\n>SETHEADER PROD OVX1\n>SETHEADER VERS 0102\n>SETFIELD PRNM Ovex Kelvo\n"
    ">RESUPDATE F\n"
    ">PAGE PG00 0 0 100 100 0 Built in\n");

// A script as a server sends it: a page of its own and text one byte per character
// would ruin.
const QString kDownloaded =
    QStringLiteral(">PAGE UP00 0 0 100 100 0 Updated page\n>SETFIELD UPDT Ünïcødé € \U0001F600 from the server\n");

class ResourceUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testsupport::isolateEnvironment();
        // Loaded by path once, the engine's load by name finds it in the process.
        static QLibrary built(QStringLiteral(OVEX_INET_LIBRARY_DIR "/libovex-inet.so.1"));
        ASSERT_TRUE(built.load()) << built.errorString().toStdString();
        certs = testpeers::makeCertificates(dir);
        ::setenv("OVEX_CA_FILE", certs.caFile.toUtf8().constData(), 1);
        ResourceUpdate::SetUpdateAllowed(true);
        RememberUpdateFolder(QString());
    }
    void TearDown() override
    {
        EXPECT_TRUE(ResUpdateWorker::WaitForWorkers(20000)) << "a worker thread outlived its test";
        ::unsetenv("OVEX_CA_FILE");
    }

    void startServer(const QJsonObject& config, bool rightCert = true)
    {
        const QString configPath = dir + QStringLiteral("/update.json");
        testsupport::writeFile(configPath, QJsonDocument(config).toJson());
        record = dir + QStringLiteral("/calls.jsonl");
        server = std::make_unique<testpeers::Peer>(
            testsupport::sourceDir() + QStringLiteral("/tests/peers/update_service.py"),
            QStringList{QStringLiteral("--config"), configPath, QStringLiteral("--record"), record,
                        QStringLiteral("--cert"), rightCert ? certs.serverCert : certs.selfSignedCert,
                        QStringLiteral("--key"), rightCert ? certs.serverKey : certs.selfSignedKey});
        ASSERT_TRUE(server->started());
    }

    QStringList methodsCalled() const
    {
        QStringList methods;
        for (const QByteArray& line : testsupport::readFile(record).split('\n')) {
            if (!line.isEmpty())
                methods << QJsonDocument::fromJson(line).object().value("method").toString();
        }
        return methods;
    }

    void makeWindow()
    {
        reader =
            std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(kTexts + kScript), QString(), LangCode("EN"));
        reader->Run();
        window = reader->GetWindow();
        ASSERT_NE(window, nullptr);
        window->GetResourceUpdate().SetServer(QStringLiteral("localhost"), server->port());
    }

    // Runs the update dialog until `until` holds or the worker has let go; returns the
    // dialog's state through the callback.
    void runDialog(const std::function<bool(ResUpdateDialog&)>& until,
                   const std::function<void(ResUpdateDialog&)>& look)
    {
        window->GetResourceUpdate().SetDialogRunner([&](ResUpdateDialog& dialog) {
            dialog.show();
            QDeadlineTimer deadline(20000);
            while (!until(dialog) && !deadline.hasExpired())
                QTest::qWait(10);
            look(dialog);
            return 0;
        });
        window->GetResourceUpdate().AskOnlineUpdate();
    }

    static bool finished(ResUpdateDialog& d) { return d.OkButton()->isVisibleTo(&d); }

    QString dir;
    testpeers::Certificates certs;
    std::unique_ptr<testpeers::Peer> server;
    QString record;
    std::unique_ptr<ScriptReader> reader;
    RegWind* window = nullptr;
};

}  // namespace

TEST(ResUpdateChecksumTest, KnownVectors)
{
    EXPECT_EQ(ResUpdateChecksum(QString()), 0u);
    // 'A' 00 'B' 00: 0x41 -> 0x82 -> 0x104 -> 0x146 -> 0x28C -> 0x518.
    EXPECT_EQ(ResUpdateChecksum(QStringLiteral("AB")), 0x518u);
    // Long enough for bits to wrap round the top, with characters beyond one byte.
    EXPECT_EQ(ResUpdateChecksum(QStringLiteral(">PAGE Ünïcødé € \U0001F600 ").repeated(3)), 0xbad2a272u);
}

TEST(UpdateRpcTest, RepliesFaultsAndJunk)
{
    xmlrpc::Value v;
    EXPECT_EQ(UpdateRpc::ReadReply("<methodResponse><params><param><value><string>id7</string></value></param>"
                                   "</params></methodResponse>",
                                   &v),
              UpdateRpc::kOk);
    EXPECT_EQ(UpdateRpc::ReadReply("<methodResponse><fault><value><struct><member><name>faultCode</name><value>"
                                   "<int>801</int></value></member></struct></value></fault></methodResponse>",
                                   &v),
              801);
    EXPECT_EQ(UpdateRpc::ReadReply("<methodResponse><fault><value><struct><member><name>faultCode</name><value>"
                                   "<int>0</int></value></member></struct></value></fault></methodResponse>",
                                   &v),
              UpdateRpc::kNoValue)
        << "a fault never reads as success";
    EXPECT_EQ(UpdateRpc::ReadReply("not xml", &v), UpdateRpc::kNoXml);
}

TEST_F(ResourceUpdateTest, AnUpdateIsDownloadedCheckedSavedAsUtf8AndRun)
{
    startServer({{"check", "UPD-1"}, {"script", kDownloaded}, {"checksum", "auto"}});
    makeWindow();
    QString status;
    runDialog([](ResUpdateDialog& d) { return finished(d); },
              [&](ResUpdateDialog& d) {
                  status = d.StatusLabel()->text();
                  EXPECT_TRUE(d.CancelButton()->isHidden());
                  EXPECT_GE(d.ProgressBar()->value(), 90);
              });
    EXPECT_EQ(status, QStringLiteral("The update is finished."));
    EXPECT_EQ(methodsCalled(), (QStringList{"appUpdateCheck", "appUpdateDownload", "appUpdateChecksum"}));
    const QJsonArray check =
        QJsonDocument::fromJson(testsupport::readFile(record).split('\n').first()).object().value("params").toArray();
    EXPECT_EQ(check.at(0).toInt(), 374);
    EXPECT_EQ(check.at(1).toString(), QStringLiteral("OVX1"));
    EXPECT_EQ(check.at(2).toString(), QStringLiteral("W61030"));

    // Run on the window: the built-in page replaced by the server's.
    ASSERT_EQ(window->GetPageCount(), 1);
    EXPECT_EQ(FieldCodeToString(window->GetPage(0)->GetCode()), QStringLiteral("UP00"));
    EXPECT_EQ(window->FieldValue(FourCC("UPDT")), QStringLiteral("Ünïcødé € \U0001F600 from the server"));

    // Kept under the engine's folder, in UTF-8, and named in "Updates".
    const std::optional<platform::RegValue> updates = EngineRegistryValue(QStringLiteral("Updates"));
    ASSERT_TRUE(updates);
    EXPECT_TRUE(updates->text.startsWith(EngineFolder() + QStringLiteral("/Updates/OVX1/W61030-")))
        << updates->text.toStdString();
    EXPECT_EQ(testsupport::readFile(updates->text + QStringLiteral("/pagesEN.dat")), kDownloaded.toUtf8());
    EXPECT_EQ(RememberedUpdateFolder(), updates->text);
    EXPECT_FALSE(ResourceUpdate::IsUpdateAllowed()) << "once per process";

    // A later start runs the kept script in place of the built-in one.
    ResourceUpdate::SetUpdateAllowed(false);
    auto later = std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(kScript), QString(), LangCode("EN"));
    later->Run();
    RegWind* next = later->GetWindow();
    ASSERT_EQ(next->GetPageCount(), 1);
    EXPECT_EQ(FieldCodeToString(next->GetPage(0)->GetCode()), QStringLiteral("UP00"));
    EXPECT_EQ(next->FieldValue(FourCC("UPDT")), QStringLiteral("Ünïcødé € \U0001F600 from the server"));
}

TEST_F(ResourceUpdateTest, AChecksumMismatchKeepsNothing)
{
    startServer({{"check", "UPD-1"}, {"script", kDownloaded}, {"checksum", 12345}});
    makeWindow();
    QString status;
    runDialog([](ResUpdateDialog& d) { return finished(d); },
              [&](ResUpdateDialog& d) { status = d.StatusLabel()->text(); });
    EXPECT_EQ(status, QStringLiteral("The update's checksum does not match."));
    EXPECT_FALSE(EngineRegistryValue(QStringLiteral("Updates")));
    EXPECT_FALSE(QFileInfo::exists(EngineFolder() + QStringLiteral("/Updates")));
    EXPECT_EQ(FieldCodeToString(window->GetPage(0)->GetCode()), QStringLiteral("PG00"));
}

TEST_F(ResourceUpdateTest, FaultsAndAnUntrustedServer)
{
    struct Case {
        const char* name;
        QJsonObject config;
        bool rightCert;
        const char* status;
        QStringList methods;
    } cases[] = {
        {"no_update_fault", {{"check", QJsonObject{{"fault", 801}}}}, true, "No updates found.", {"appUpdateCheck"}},
        {"other_fault",
         {{"check", QJsonObject{{"fault", 500}}}},
         true,
         "The server reported an error.",
         {"appUpdateCheck"}},
        {"empty_id", {{"check", ""}}, true, "No updates found.", {"appUpdateCheck"}},
        {"self_signed", {{"check", "UPD-1"}, {"script", kDownloaded}}, false, "The server reported an error.", {}},
    };
    for (const Case& c : cases) {
        SetUp();
        startServer(c.config, c.rightCert);
        makeWindow();
        QString status;
        runDialog([](ResUpdateDialog& d) { return finished(d); },
                  [&](ResUpdateDialog& d) { status = d.StatusLabel()->text(); });
        EXPECT_EQ(status, QString::fromLatin1(c.status)) << c.name;
        EXPECT_EQ(methodsCalled(), c.methods) << c.name;
        EXPECT_EQ(FieldCodeToString(window->GetPage(0)->GetCode()), QStringLiteral("PG00")) << c.name;
        EXPECT_TRUE(ResUpdateWorker::WaitForWorkers(20000));
    }
}

// Cancel while the server takes its time over the download: the dialog goes at once, and
// the worker, which finds it gone, stops before the next step.
TEST_F(ResourceUpdateTest, CancelDuringTheDownload)
{
    startServer({{"check", "UPD-1"}, {"script", kDownloaded}, {"download_delay", 1.5}});
    makeWindow();
    QString status;
    runDialog([](ResUpdateDialog& d) { return d.StatusLabel()->text() == u"Downloading the update..."; },
              [&](ResUpdateDialog& d) {
                  d.CancelButton()->click();
                  status = d.StatusLabel()->text();
              });
    EXPECT_EQ(status, QStringLiteral("Cancelled."));
    ASSERT_TRUE(ResUpdateWorker::WaitForWorkers(20000));
    QTest::qWait(50);  // any report the worker might still post would arrive now
    EXPECT_EQ(methodsCalled(), (QStringList{"appUpdateCheck", "appUpdateDownload"})) << "no checksum asked";
    EXPECT_FALSE(EngineRegistryValue(QStringLiteral("Updates")));
    EXPECT_EQ(FieldCodeToString(window->GetPage(0)->GetCode()), QStringLiteral("PG00"));
}

TEST_F(ResourceUpdateTest, NoUpdateWithoutATypeOrAfterNo)
{
    startServer({{"check", "UPD-1"}});
    makeWindow();
    int shown = 0;
    window->GetResourceUpdate().SetDialogRunner([&](ResUpdateDialog&) { return ++shown; });
    window->GetSettings().resourceUpdate = 0;
    window->GetResourceUpdate().AskOnlineUpdate();
    EXPECT_EQ(shown, 0);
    window->GetSettings().resourceUpdate = 2;
    window->GetResourceUpdate().AskOnlineUpdate();
    EXPECT_EQ(shown, 1);
}

// A stored "Updates" value naming a folder outside the engine's is not read from nor
// written to; a stored script is not used while RESUPDATE is 0.
TEST_F(ResourceUpdateTest, StoredFoldersStayInsideTheEnginesFolder)
{
    startServer({});
    makeWindow();
    const QString outside = dir + QStringLiteral("/outside");
    QDir().mkpath(outside);
    testsupport::writeFile(outside + QStringLiteral("/pagesEN.dat"), kDownloaded.toUtf8());
    ASSERT_TRUE(window->OpenRegistryKey());
    const QString key = EngineRegistryKeyPath();
    platform::Registry::setValue(platform::RootKey::CurrentUser, key, QStringLiteral("Updates"),
                                 platform::RegValue::fromString(outside));
    EXPECT_TRUE(ResourceUpdate::StoredFolder(key).isEmpty());
    const QString saved = ResourceUpdate::SavePages(QStringLiteral("new"), {key, "VELD", "107", "pagesEN.dat"});
    EXPECT_TRUE(saved.startsWith(EngineFolder() + u'/')) << saved.toStdString();
    EXPECT_EQ(testsupport::readFile(outside + QStringLiteral("/pagesEN.dat")), kDownloaded.toUtf8());
    EXPECT_TRUE(
        ResourceUpdate::SavePages(QStringLiteral("x"), {QStringLiteral("Software\\None"), "../..", "1", "pagesEN.dat"})
            .isEmpty());

    // The built-in script runs when the type is 0, whatever is stored.
    auto plain = std::make_unique<ScriptReader>(
        std::make_unique<QmStrStream>(QString(kScript).replace(QStringLiteral(">RESUPDATE F\n"), QString())), QString(),
        LangCode("EN"));
    plain->Run();
    EXPECT_EQ(FieldCodeToString(plain->GetWindow()->GetPage(0)->GetCode()), QStringLiteral("PG00"));
}

// What the downloaded script names for files stays inside the engine's folders, as the
// built-in script's names do.
TEST_F(ResourceUpdateTest, ADownloadedScriptCannotNameFilesOutside)
{
    const QString victim = dir + QStringLiteral("/victim.dat");
    testsupport::writeFile(victim, "keep");
    const QString script = QStringLiteral(">INCLUDE ../../victim.dat\n>PREFFILE ../../victim.dat\n") + kDownloaded;
    startServer({{"check", "UPD-2"}, {"script", script}, {"checksum", "auto"}});
    makeWindow();
    runDialog([](ResUpdateDialog& d) { return finished(d); }, [](ResUpdateDialog&) {});
    EXPECT_EQ(window->FieldValue(FourCC("UPDT")), QStringLiteral("Ünïcødé € \U0001F600 from the server"));
    EXPECT_EQ(testsupport::readFile(victim), QByteArray("keep"));
    EXPECT_FALSE(QFile::exists(QDir::cleanPath(EngineFolder() + QStringLiteral("/../../victim.dat"))));
}
