// The road from the launcher's first run to the client's check, every program a process in
// the test's own HOME, XDG folders and registry folder: the launcher writes the
// registration file and starts the client that "InstallPath" names (a stub that records
// how, then the real client with what the stub was given); a second run does nothing; the
// real client's scheduled run imports the file and sends its record to the Python message
// service.
#include "client/Database.h"
#include "client/Settings.h"
#include "client/TovaReader.h"
#include "tests/launcher/e2e/LauncherE2eSupport.h"
#include "tests/peers/Peers.h"
#include "tests/support/FakeSystemctl.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include "platform/registry/Registry.h"
#include "platform/taskscheduler/SystemdUnits.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

namespace {

using namespace launchere2e;
using platform::Registry;
using platform::RootKey;

const QString kUsidPattern = QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");

std::optional<quint64> hasRunFlag()
{
    const auto v = Registry::value(RootKey::CurrentUser, kUserKey, QStringLiteral("LauncherHasRun"));
    return v ? std::optional<quint64>(v->number) : std::nullopt;
}

class HandOff : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(prepareMachine(stub_.path())); }

    testsupport::RunResult runLauncher() const
    {
        return testsupport::runProgram(testsupport::programPath(QStringLiteral("launcher")), {}, launcherEnv());
    }

    StubClient stub_;
};

TEST_F(HandOff, FirstRunWritesTheRegistrationFileAndSchedulesTheClient)
{
    const QDateTime started = QDateTime::currentDateTime();
    const testsupport::RunResult r = runLauncher();
    ASSERT_FALSE(r.timedOut) << "the first run ends by itself";
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(hasRunFlag(), 1u);

    // Parsed by the client's own reader.
    const client::TovaReader tova = client::TovaReader::Read(registrationFile());
    ASSERT_TRUE(tova.ok) << testsupport::readFile(registrationFile()).toStdString();
    ASSERT_EQ(tova.GetSection("mfgrinfo").size(), 1);
    EXPECT_EQ(tova.GetSection("mfgrinfo")[0].value("mfgr"), QStringLiteral("OVEX"));
    EXPECT_EQ(tova.GetSection("channel").size(), 3);
    ASSERT_EQ(tova.GetSection("record").size(), 1);
    const client::RecordMap record = tova.GetSection("record")[0];
    EXPECT_EQ(record.value("MFGR"), QStringLiteral("OVEX"));
    EXPECT_EQ(record.value("CTRY"), QStringLiteral("CAN"));
    EXPECT_EQ(record.value("LANG"), QStringLiteral("FRC"));
    EXPECT_EQ(record.value("MODL"), QStringLiteral("Kelvo Book 14")) << "trimmed";
    EXPECT_EQ(record.value("SRNM"), QStringLiteral("QX7-0042-1138"));
    EXPECT_TRUE(QRegularExpression(kUsidPattern).match(record.value("USID")).hasMatch())
        << record.value("USID").toStdString();
    for (const QString& key : record.keys()) {
        const QChar first = key.at(0);
        EXPECT_FALSE(first == u'-' || first == u';' || first == u'_' || first.isLower())
            << "private code " << key.toStdString();
    }
    ASSERT_EQ(tova.GetSection("message").size(), 1);
    EXPECT_EQ(tova.GetSection("message")[0].value("url"),
              QStringLiteral("file://") +
                  QFileInfo(testsupport::programPath(QStringLiteral("launcher"))).absolutePath() +
                  QStringLiteral("/messages/welcome.htm"));
    EXPECT_TRUE(QFile::exists(QUrl(tova.GetSection("message")[0].value("url")).toLocalFile()))
        << "the welcome page stands where the message points";

    // The client, started without waiting, in the data folder, for 336 hours ahead.
    const QStringList client = stub_.waitForStart();
    ASSERT_EQ(client.size(), 3) << client.join(u'|').toStdString();
    EXPECT_EQ(client[0], dataFolder());
    EXPECT_EQ(client[1], QStringLiteral("/schedule"));
    const QDateTime at = QDateTime::fromString(client[2], QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    ASSERT_TRUE(at.isValid()) << client[2].toStdString();
    EXPECT_LE(qAbs(started.addSecs(336 * 3600).secsTo(at)), 60) << client[2].toStdString();
}

TEST_F(HandOff, ASecondRunWritesNothingAndStartsNothing)
{
    ASSERT_EQ(runLauncher().exitCode, 0);
    ASSERT_FALSE(stub_.waitForStart().isEmpty());
    ASSERT_TRUE(QFile::remove(registrationFile()));
    stub_.forget();

    // It lays out no text, so it never loads the font configuration; with none to be
    // found, fontconfig would say so.
    QProcessEnvironment env = launcherEnv();
    env.insert(QStringLiteral("FONTCONFIG_FILE"), testsupport::sandboxRoot() + QStringLiteral("/no-such-fonts.conf"));
    const testsupport::RunResult r =
        testsupport::runProgram(testsupport::programPath(QStringLiteral("launcher")), {}, env);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // It ended at the first-run test, before the start event could run anything.
    EXPECT_FALSE(r.err.contains("Showing start page")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Fontconfig")) << r.err.toStdString();
    EXPECT_EQ(QDir(dataFolder()).entryList({QStringLiteral("*.tova")}, QDir::Files | QDir::Hidden), QStringList{});
    EXPECT_FALSE(stub_.started());
    EXPECT_EQ(hasRunFlag(), 1u);
}

// The real client as the hand-off and the scheduled task start it: first with what the
// launcher gave the stub, which creates the task for that time; then "/auto /test", which
// imports the file, deletes it and sends its record.
TEST_F(HandOff, TheClientSchedulesThenImportsAndSendsTheRecord)
{
    ASSERT_EQ(runLauncher().exitCode, 0);
    const QStringList handedOver = stub_.waitForStart();
    ASSERT_EQ(handedOver.size(), 3);
    const client::RecordMap written = client::TovaReader::Read(registrationFile()).GetSection("record").value(0);
    const QString client = testsupport::programPath(QStringLiteral("OvexKelvo"));

    // A systemctl that agrees and records, so the task's units stay.
    systemdtest::FakeSystemctl systemctl;
    const testsupport::RunResult scheduled =
        testsupport::runProgram(client, handedOver.mid(1), {}, 30000, handedOver[0]);
    EXPECT_FALSE(scheduled.timedOut);
    EXPECT_EQ(scheduled.exitCode, 0) << scheduled.err.toStdString();
    const QString unitFolder = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/systemd/user");
    QStringList timers = QDir(unitFolder).entryList({QStringLiteral("*.timer")}, QDir::Files);
    ASSERT_EQ(timers.size(), 2) << unitFolder.toStdString();  // the task's and the one that removes it
    timers.removeIf([](const QString& t) { return platform::systemd::isExpiryStem(QFileInfo(t).completeBaseName()); });
    ASSERT_EQ(timers.size(), 1) << unitFolder.toStdString();
    const QString timer = QString::fromUtf8(testsupport::readFile(unitFolder + u'/' + timers[0]));
    const QDateTime at = QDateTime::fromString(handedOver[2], QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    const QRegularExpressionMatch first = QRegularExpression(QStringLiteral("OnCalendar=(\\S+) (\\S+)")).match(timer);
    ASSERT_TRUE(first.hasMatch()) << timer.toStdString();
    EXPECT_TRUE(first.captured(1).startsWith(at.toString(QStringLiteral("yyyy-MM-dd")))) << timer.toStdString();
    EXPECT_EQ(first.captured(2), at.toString(QStringLiteral("HH:mm:ss")));
    EXPECT_TRUE(systemctl.calls().join(u'\n').contains("--user enable --now " + timers[0]));
    EXPECT_TRUE(QFile::exists(registrationFile())) << "scheduling imports nothing";

    // The user agreed to messages, as a shown page's "StartMessaging" would record.
    client::Settings::Instance().Load();
    client::Settings::Instance().Set("UserOptIn", "1");
    client::Settings::Instance().Save();
    client::Database::Close();

    const QJsonArray channels{QJsonObject{
        {"name", "critical_updates"}, {"title", "Critical Updates"}, {"fields", QJsonArray{"MODL", "CTRY", "USID"}}}};
    testpeers::MessageService service(testsupport::sandboxRoot() + QStringLiteral("/service"),
                                      {testpeers::MessageService::answers(channels, {}), false, {}, {}});
    ASSERT_TRUE(service.started());
    // Headless and without a session bus: the announcement comes without the idle wait.
    QProcessEnvironment env;
    env.insert(QStringLiteral("OVEXKELVO_TEST_SERVICE"), service.hostPort());
    // The first check already speaks the user's language.
    env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    testsupport::TracedProgram run(
        client, QStringLiteral("ovex.client.info=true"), env,
        {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
         QStringLiteral("LC_ALL"), QStringLiteral("LC_MESSAGES")});
    run.start({QStringLiteral("/auto"), QStringLiteral("/test")});
    // The welcome message is unread, so the run stays in the tray; a logout ends it.
    run.waitFor("Announcing:");
    ASSERT_TRUE(run.terminate());
    const QByteArray& err = run.err();
    EXPECT_EQ(run.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("Announcing:")) << err.toStdString();

    EXPECT_FALSE(QFile::exists(registrationFile())) << "imported files are deleted";
    const QJsonArray calls = service.received();
    ASSERT_EQ(calls.size(), 2) << err.toStdString();
    EXPECT_EQ(calls[0].toObject()["method"].toString(), QStringLiteral("getChannelsForMfgr"));
    EXPECT_EQ(calls[0].toObject()["params"].toArray()[0].toObject()["mfgr"].toString(), QStringLiteral("OVEX"));
    EXPECT_EQ(calls[0].toObject()["params"].toArray()[0].toObject()["lang"].toString(), QStringLiteral("DEU"));
    EXPECT_EQ(calls[1].toObject()["method"].toString(), QStringLiteral("getOffersForRecords"));
    const QJsonArray records = calls[1].toObject()["params"].toArray()[1].toArray();
    ASSERT_EQ(records.size(), 1);
    const QJsonObject data = records[0].toObject()["data"].toObject();
    // The fields the channels ask for, as the launcher wrote them.
    EXPECT_EQ(data.keys(), (QStringList{QStringLiteral("CTRY"), QStringLiteral("MODL"), QStringLiteral("USID")}));
    for (const QString& code : data.keys())
        EXPECT_EQ(data[code].toString(), written.value(code)) << code.toStdString();
    EXPECT_EQ(data["USID"].toString().size(), 36);
}

}  // namespace
