// The built client run as the scheduled task runs it, "/auto /test", against the Python
// message service: a registration file in the data folder and "UserOptIn" "1". It
// imports, checks, stores and announces; a desktop without a tray gets the announcement
// as a desktop notification whose click opens the message; a fault ends the run.
#include "client/Database.h"
#include "client/Settings.h"
#include "tests/client/e2e/E2eSupport.h"
#include "tests/peers/Peers.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <QJsonArray>
#include <QJsonObject>

using namespace client;

namespace {

using namespace e2etest;

const char kWelcome[] = "44cc1539-8360-4de3-8981-f70bb6c73714";  // the launcher template's message
const char kAnnounced[] = "Announcing: New message from Ovex Inc - You have 3 unread messages available.";

QJsonObject serviceAnswers()
{
    const QJsonArray channels{
        QJsonObject{{"name", "critical_updates"},
                    {"title", "Critical Updates"},
                    {"fields", QJsonArray{"MODL", "CTRY", "USID"}}},
        QJsonObject{{"name", "news"}, {"title", "News"}, {"fields", QJsonArray{"MODL"}}},
    };
    const QJsonArray offers{
        QJsonObject{{"id", "o-1"}, {"name", "news"}, {"offer", "Battery tips"}, {"url", "http://127.0.0.1:1/o-1.html"}},
        QJsonObject{
            {"id", "o-2"}, {"name", "critical_updates"}, {"offer", "Firmware"}, {"url", "http://127.0.0.1:1/o-2.html"}},
    };
    return testpeers::MessageService::answers(channels, offers);
}

class ScheduledRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        dataFolder_ = Database::GetFolder();
        tova_ = dataFolder_ + "/Ovex Kelvo.tova";
        testsupport::writeFile(tova_, testsupport::readFile(testsupport::fixturePath("tova/launcher-template.tova")));
        Settings::Instance().Load();  // makes the table
        Settings::Instance().Set("UserOptIn", "1");
        Settings::Instance().Save();
        Database::Close();  // the client must be able to lock the file
    }
    QProcessEnvironment serviceEnv(const testpeers::MessageService& service) const
    {
        QProcessEnvironment env;
        env.insert("OVEXKELVO_TEST_SERVICE", service.hostPort());
        return env;
    }

    QString dataFolder_;
    QString tova_;
    qint64 before_ = QDateTime::currentSecsSinceEpoch();
};

TEST_F(ScheduledRun, ImportsChecksStoresAndAnnounces)
{
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {serviceAnswers(), false, {}, {}});
    ASSERT_TRUE(service.started());
    ClientProcess client(serviceEnv(service));
    client.start({"/auto", "/test"});
    ASSERT_TRUE(client.waitFor(kAnnounced)) << client.err().toStdString();
    // It stays in the tray with the unread messages; a logout ends it in order.
    ASSERT_TRUE(client.terminate());
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_EQ(client.err().count("Announcing:"), 1);
    EXPECT_FALSE(client.err().contains("Communications Error"));

    EXPECT_FALSE(QFile::exists(tova_));
    const QJsonArray calls = service.received();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].toObject()["method"].toString(), "getChannelsForMfgr");
    EXPECT_EQ(calls[0].toObject()["params"].toArray()[0].toObject()["mfgr"].toString(), "OVEX");
    EXPECT_EQ(calls[0].toObject()["params"].toArray()[0].toObject()["vers"].toString(), "0107");
    EXPECT_EQ(calls[1].toObject()["method"].toString(), "getOffersForRecords");
    const QJsonObject record = calls[1].toObject()["params"].toArray()[1].toArray()[0].toObject();
    EXPECT_EQ(record["data"].toObject()["MODL"].toString(), "Ovex Book 14");

    EXPECT_EQ(rows("SELECT name FROM Channel ORDER BY chnid", {"name"}),
              (QStringList{"critical_updates", "service_alerts", "product_updates", "news"}));
    EXPECT_EQ(
        rows(QStringLiteral("SELECT chnname, lastCheck >= %1 AS fresh FROM Subscription ORDER BY chnname").arg(before_),
             {"chnname", "fresh"}),
        (QStringList{"critical_updates|1", "news|1", "product_updates|0", "service_alerts|0"}));
    const QString mark = " -- Message from Test Server";
    EXPECT_EQ(rows("SELECT m.msgid, p.value, m.read FROM Message m JOIN MessageParam p ON p.msgid = m.msgid "
                   "AND p.param = 'title' ORDER BY m.msgorder",
                   {"msgid", "value", "read"}),
              (QStringList{QString(kWelcome) + "|Welcome to Ovex Kelvo|0", "o-1|Battery tips" + mark + "|0",
                           "o-2|Firmware" + mark + "|0"}));
}

// A scheduled run in a session without any display (no platform asked for either) does
// its check without windows, where a start of the user's ends at once.
TEST_F(ScheduledRun, WithoutAnyDisplayChecksHeadless)
{
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {serviceAnswers(), false, {}, {}});
    ASSERT_TRUE(service.started());
    ClientProcess client(serviceEnv(service), {"QT_QPA_PLATFORM"});
    client.start({"/auto", "/test"});
    ASSERT_TRUE(client.waitFor(kAnnounced)) << client.err().toStdString();
    ASSERT_TRUE(client.terminate());
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_FALSE(client.err().contains("no display")) << client.err().toStdString();
    EXPECT_EQ(service.received().size(), 2);
    EXPECT_EQ(rows("SELECT msgid FROM Message ORDER BY msgorder", {"msgid"}), (QStringList{kWelcome, "o-1", "o-2"}));
}

// No tray here (offscreen); the balloon goes to the desktop's notification server, and a
// click on it opens the first unread message.
TEST_F(ScheduledRun, WithoutATrayTheNotificationOpensTheMessage)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.up());
    testpeers::NotificationServer notifications(OVEX_NOTIFICATION_PEER, bus.address());
    ASSERT_TRUE(notifications.started());
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {serviceAnswers(), false, {}, {}});
    ASSERT_TRUE(service.started());
    QProcessEnvironment env = serviceEnv(service);
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ClientProcess client(env);
    client.start({"/auto", "/test"});

    const QString notified = notifications.waitForLine("notify ");
    ASSERT_FALSE(notified.isEmpty()) << client.err().toStdString();
    const QStringList fields = notified.split(u'\t');
    ASSERT_EQ(fields.size(), 6);
    EXPECT_EQ(fields[1], "Ovex Kelvo");
    EXPECT_EQ(fields[2], "New message from Ovex Inc");
    EXPECT_EQ(fields[3], "You have 3 unread messages available.");
    EXPECT_TRUE(fields[4].split(u',').contains("default"));
    EXPECT_EQ(fields[5], "15000");

    const QString id = fields[0].mid(QStringLiteral("notify ").size());
    notifications.click(id);
    ASSERT_TRUE(client.waitFor(QByteArray("Showing message \"") + kWelcome)) << client.err().toStdString();
    ASSERT_TRUE(client.terminate());
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_EQ(rows(QStringLiteral("SELECT read FROM Message WHERE msgid = '%1'").arg(kWelcome), {"read"}),
              QStringList{"1"});
}

// A service fault ends the run by its ordinary close; only an interactive run says why.
class FaultRun : public ScheduledRun, public ::testing::WithParamInterface<bool> {};

TEST_P(FaultRun, EndsTheProgram)
{
    const bool scheduled = GetParam();
    QJsonObject config = serviceAnswers();
    config["getChannelsForMfgr"] = QJsonObject{{"fault", QJsonArray{3, "Service closed for repairs"}}};
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {config, false, {}, {}});
    ASSERT_TRUE(service.started());
    ClientProcess client(serviceEnv(service));
    client.start(scheduled ? QStringList{"/auto", "/test"} : QStringList{"/test"});
    ASSERT_TRUE(client.finish()) << client.err().toStdString();
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_EQ(client.err().contains("Communications Error: There was a problem communicating with the Ovex Kelvo "
                                    "server.\nThe error was: Service closed for repairs."),
              !scheduled)
        << client.err().toStdString();
    EXPECT_FALSE(client.err().contains("Announcing:"));
    EXPECT_EQ(service.received().size(), 1);
    // What came before the check is kept: the import, and the settings saved on the way out.
    EXPECT_FALSE(QFile::exists(tova_));
    EXPECT_EQ(rows("SELECT mfgr FROM Manufacturer", {"mfgr"}), QStringList{"OVEX"});
    EXPECT_EQ(rows("SELECT value FROM Setting WHERE setting = 'useroptin'", {"value"}), QStringList{"1"});
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultRun, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Scheduled" : "Interactive"; });

// The HTTP library is loaded at the first call; one that is not what the client was built
// against fails the check, which says why and ends the run, with the import kept.
struct BrokenCurlCase {
    const char* name;
    QString (*folder)();  // a folder holding a libcurl.so.4
    const char* said;
    friend void PrintTo(const BrokenCurlCase& c, std::ostream* os) { *os << c.name; }
};

QString garbageLibraryFolder()
{
    const QString folder = testsupport::sandboxRoot() + "/garbage-curl";
    testsupport::writeFile(folder + "/libcurl.so.4", "not a library\n");
    return folder;
}

class BrokenCurlRun : public ScheduledRun, public ::testing::WithParamInterface<BrokenCurlCase> {};

TEST_P(BrokenCurlRun, FailsTheCheckAndSaysWhy)
{
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {serviceAnswers(), false, {}, {}});
    ASSERT_TRUE(service.started());
    QProcessEnvironment env = serviceEnv(service);
    const QString path = qEnvironmentVariable("LD_LIBRARY_PATH");
    env.insert("LD_LIBRARY_PATH", GetParam().folder() + (path.isEmpty() ? QString() : ":" + path));
    ClientProcess client(env);
    client.start({"/auto", "/test"});
    ASSERT_TRUE(client.finish()) << client.err().toStdString();
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_TRUE(client.err().contains(GetParam().said)) << client.err().toStdString();
    EXPECT_TRUE(client.err().contains("The message check failed:")) << client.err().toStdString();
    EXPECT_EQ(client.err().count("The internet layer cannot"), 1) << client.err().toStdString();
    EXPECT_TRUE(service.received().isEmpty());
    EXPECT_FALSE(QFile::exists(tova_));
    EXPECT_EQ(rows("SELECT mfgr FROM Manufacturer", {"mfgr"}), QStringList{"OVEX"});
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, BrokenCurlRun,
    ::testing::Values(BrokenCurlCase{"WithoutCurlsFunctions", [] { return QString(OVEX_NOT_CURL_DIR); },
                                     "The internet layer cannot use libcurl.so.4: it has no curl_global_init"},
                      BrokenCurlCase{"NotALibrary", garbageLibraryFolder,
                                     "The internet layer cannot load libcurl.so.4:"}),
    [](const auto& info) { return std::string(info.param.name); });

// Nothing unread after the check: the run ends by itself at once.
TEST_F(ScheduledRun, NothingNewEndsAtOnce)
{
    QByteArray noMessage = testsupport::readFile(tova_);
    noMessage.truncate(noMessage.indexOf(">BeginMessage"));
    testsupport::writeFile(tova_, noMessage);
    QJsonObject config = serviceAnswers();
    config["getOffersForRecords"] = QJsonObject{{"result", QJsonArray{}}};
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {config, false, {}, {}});
    ASSERT_TRUE(service.started());
    // A run that lays out no text never loads the font configuration; with none to be
    // found, fontconfig would say so.
    QProcessEnvironment env = serviceEnv(service);
    env.insert("FONTCONFIG_FILE", testsupport::sandboxRoot() + "/no-such-fonts.conf");
    ClientProcess client(env);
    client.start({"/auto", "/test"});
    ASSERT_TRUE(client.finish()) << client.err().toStdString();
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_EQ(service.received().size(), 2);
    EXPECT_FALSE(client.err().contains("Announcing:"));
    EXPECT_FALSE(client.err().contains("Fontconfig")) << client.err().toStdString();
    EXPECT_EQ(rows("SELECT COUNT(*) AS n FROM Channel", {"n"}), QStringList{"4"});
}

// Every row of every table of the run's database, as text, sorted: a check saves what it
// holds again, in an order of its own.
QStringList everyRow()
{
    QStringList out;
    sqlite3* db = Database::Instance();
    for (const RecordMap& table :
         Database::Query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", db)) {
        const QString name = table.value("name");
        for (const RecordMap& row : Database::Query("SELECT * FROM " + name, db)) {
            QStringList fields;
            for (auto it = row.begin(); it != row.end(); ++it)
                fields << it.key() + "=" + it.value();
            out << name + ": " + fields.join(", ");
        }
    }
    Database::Close();
    out.sort();
    return out;
}

// The desktop knows of no network: the run asks nothing, says nothing, changes nothing it
// had stored (lastCheck times included), and ends as a run with nothing new does.
TEST_F(ScheduledRun, NoNetworkAsksNothingAndChangesNothing)
{
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {serviceAnswers(), false, {}, {}});
    ASSERT_TRUE(service.started());
    {
        ClientProcess online(serviceEnv(service));
        online.start({"/auto", "/test"});
        ASSERT_TRUE(online.waitFor(kAnnounced)) << online.err().toStdString();
        ASSERT_TRUE(online.terminate());
    }
    ASSERT_EQ(service.received().size(), 2);
    // All read, so that a run that finds nothing new ends by itself.
    Database::Query("UPDATE Message SET read = 1", Database::Instance());
    Database::Commit(Database::Instance());
    ASSERT_EQ(rows(QStringLiteral("SELECT COUNT(*) AS n FROM Subscription WHERE lastCheck >= %1").arg(before_), {"n"}),
              QStringList{"2"});
    const QStringList stored = everyRow();

    testpeers::NetworkManager network(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), testpeers::kNmDisconnected);
    ASSERT_TRUE(network.started());
    QProcessEnvironment env = serviceEnv(service);
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", network.busAddress());
    ClientProcess offline(env);
    offline.start({"/auto", "/test"});
    ASSERT_TRUE(offline.finish()) << offline.err().toStdString();
    EXPECT_EQ(offline.exitCode(), 0);
    EXPECT_EQ(service.received().size(), 2);
    EXPECT_FALSE(offline.err().contains("Communications Error")) << offline.err().toStdString();
    EXPECT_FALSE(offline.err().contains("Announcing:"));
    EXPECT_TRUE(offline.err().contains("Checking for new messages")) << offline.err().toStdString();
    EXPECT_EQ(everyRow(), stored);
}

// ---- A logout ---------------------------------------------------------------------------

// What a run stored is whole after a logout: every parameter row has its message.
void expectStoredIntact(const QStringList& messages)
{
    EXPECT_EQ(rows("PRAGMA integrity_check", {"integrity_check"}), QStringList{"ok"});
    EXPECT_EQ(rows("SELECT msgid FROM Message ORDER BY msgorder", {"msgid"}), messages);
    EXPECT_EQ(rows("SELECT COUNT(*) AS n FROM MessageParam p LEFT JOIN Message m ON m.msgid = p.msgid "
                   "WHERE m.msgid IS NULL",
                   {"n"}),
              QStringList{"0"});
    EXPECT_EQ(rows("SELECT value FROM Setting WHERE setting = 'useroptin'", {"value"}), QStringList{"1"});
}

// A desktop whose user never pauses: the scheduled run waits for the idle time before its
// balloon, which a logout ends at once, well within the wait's first 8-second step.
TEST_F(ScheduledRun, LogoutEndsTheIdleWait)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.up());
    QProcessEnvironment busEnv = QProcessEnvironment::systemEnvironment();
    busEnv.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    QProcess monitor;
    monitor.setProcessEnvironment(busEnv);
    monitor.start(OVEX_IDLE_MONITOR_PEER, {"0"});
    ASSERT_TRUE(monitor.waitForReadyRead(10000) && monitor.readLine().trimmed() == "ready");

    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {serviceAnswers(), false, {}, {}});
    ASSERT_TRUE(service.started());
    QProcessEnvironment env = serviceEnv(service);
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.insert("WAYLAND_DISPLAY", "wayland-test");  // the idle time comes from the monitor
    ClientProcess client(env);
    client.start({"/auto", "/test"});
    ASSERT_TRUE(client.waitFor("Waiting for the user to pause")) << client.err().toStdString();
    QElapsedTimer ended;
    ended.start();
    ASSERT_TRUE(client.terminate(7500)) << client.err().toStdString();
    std::printf("ended %lld ms after the signal\n", ended.elapsed());
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_FALSE(client.err().contains("Announcing:")) << client.err().toStdString();
    expectStoredIntact({kWelcome, "o-1", "o-2"});
    monitor.kill();
    monitor.waitForFinished(5000);
}

// A service that takes its time: the logout ends the call, the check says nothing of it
// (no error box for an interactive run either) and the program ends in order.
class SlowServiceRun : public ScheduledRun, public ::testing::WithParamInterface<bool> {};

TEST_P(SlowServiceRun, LogoutEndsTheCall)
{
    QJsonObject config = serviceAnswers();
    config["delay"] = 120;
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {config, false, {}, {}});
    ASSERT_TRUE(service.started());
    ClientProcess client(serviceEnv(service));
    client.start(GetParam() ? QStringList{"/auto", "/test"} : QStringList{"/test"});
    ASSERT_TRUE(client.waitFor("Checking for new messages")) << client.err().toStdString();
    const QDeadlineTimer asked(30000);
    while (service.received().isEmpty() && !asked.hasExpired())
        QThread::msleep(20);
    ASSERT_EQ(service.received().size(), 1);
    QElapsedTimer ended;
    ended.start();
    // Far less than the service's delay: the call did not run to its end.
    ASSERT_TRUE(client.terminate(20000)) << client.err().toStdString();
    std::printf("ended %lld ms after the signal\n", ended.elapsed());
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_FALSE(client.err().contains("Communications Error")) << client.err().toStdString();
    EXPECT_TRUE(client.err().contains("the program is ending")) << client.err().toStdString();
    expectStoredIntact({kWelcome});
    EXPECT_EQ(rows("SELECT mfgr FROM Manufacturer", {"mfgr"}), QStringList{"OVEX"});
}

INSTANTIATE_TEST_SUITE_P(Runs, SlowServiceRun, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Scheduled" : "Interactive"; });

}  // namespace
