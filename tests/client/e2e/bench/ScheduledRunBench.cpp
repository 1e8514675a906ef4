// Measurements of the client as a process, run by hand (never by ctest):
//   client_e2e_bench [runs=30]
// 1. Wall time from process start to exit of a scheduled run ("/auto /test") that finds
//    nothing, against the local message service, beside a bare Qt application's start and
//    exit on the same machine; and of a scheduled run of a user who has not opted in and
//    has nothing unread (no service call).
// 2. Resident memory of the client staying in the tray after a check that brought messages,
//    and the time of a second start while it runs, which ends at the instance guard: what
//    loading the program and starting Qt cost before any of the client's work.
#include "client/Database.h"
#include "client/Settings.h"
#include "tests/client/e2e/E2eSupport.h"
#include "tests/peers/Peers.h"
#include "tests/support/ProgramTimes.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace client;

namespace {

using Figures = testsupport::ProgramTimes;
using testsupport::timeRuns;

QProcessEnvironment clientEnv(const QString& hostPort)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_LOGGING_RULES"})
        env.remove(QString::fromLatin1(name));
    env.insert("OVEXKELVO_TEST_SERVICE", hostPort);
    return env;
}

void placeRegistration(bool withMessage)
{
    QByteArray tova = testsupport::readFile(testsupport::fixturePath("tova/launcher-template.tova"));
    if (!withMessage)
        tova.truncate(tova.indexOf(">BeginMessage"));
    testsupport::writeFile(Database::GetFolder() + "/Ovex Kelvo.tova", tova);
}

void storeOptIn(const char* value)
{
    Settings::Instance().Reset();
    Settings::Instance().Load();
    Settings::Instance().Set("UserOptIn", value);
    Settings::Instance().Save();
    Database::Close();
}

long statusKb(qint64 pid, const char* field)
{
    const QByteArray status = testsupport::readFile(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace

int main(int argc, char* argv[])
{
    testsupport::isolateEnvironment();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
    const QString client = testsupport::programPath("OvexKelvo");
    const QString bare = testsupport::binaryDir() + "/tests/client/e2e/bare_qt_app";

    const QJsonArray channels{QJsonObject{{"name", "critical_updates"}, {"fields", QJsonArray{"MODL"}}}};
    const QJsonArray offers{
        QJsonObject{{"id", "o-1"}, {"name", "critical_updates"}, {"offer", "Firmware"}, {"url", "http://x/o-1"}}};
    const QJsonObject nothing = testpeers::MessageService::answers(channels, {});
    testpeers::MessageService quiet(testsupport::sandboxRoot() + "/quiet", {nothing, false, {}, {}});
    if (!quiet.started())
        return 1;
    const QProcessEnvironment env = clientEnv(quiet.hostPort());

    // The first run imports the registration file; the measured ones find only the records.
    placeRegistration(false);
    storeOptIn("1");
    timeRuns(client, {"/auto", "/test"}, env, 1);

    const Figures bareFigures = timeRuns(bare, {}, env, runs);
    const Figures checkFigures = timeRuns(client, {"/auto", "/test"}, env, runs);
    std::printf("start to exit, median (best) of %d runs:\n", runs);
    std::printf("  bare Qt application                      %7.1f ms (%6.1f)\n", bareFigures.median, bareFigures.best);
    std::printf("  scheduled run, check finds nothing       %7.1f ms (%6.1f)  %.2f x bare\n", checkFigures.median,
                checkFigures.best, checkFigures.median / bareFigures.median);
    storeOptIn("0");
    const Figures idleFigures = timeRuns(client, {"/auto", "/test"}, env, runs);
    std::printf("  scheduled run, not opted in, nothing     %7.1f ms (%6.1f)  %.2f x bare\n", idleFigures.median,
                idleFigures.best, idleFigures.median / bareFigures.median);

    // Resident memory once the check has announced and the client waits in the tray.
    testsupport::isolateEnvironment();
    Database::Close();
    const QJsonObject some = testpeers::MessageService::answers(channels, offers);
    testpeers::MessageService service(testsupport::sandboxRoot() + "/service", {some, false, {}, {}});
    if (!service.started())
        return 1;
    placeRegistration(true);
    storeOptIn("1");
    e2etest::ClientProcess resident(clientEnv(service.hostPort()));
    resident.start({"/auto", "/test"});
    if (!resident.waitFor("Announcing:")) {
        std::fprintf(stderr, "bench: no announcement: %s\n", resident.err().constData());
        return 1;
    }
    std::printf("tray-resident client after a check: VmRSS %ld kB, VmHWM %ld kB\n", statusKb(resident.pid(), "VmRSS:"),
                statusKb(resident.pid(), "VmHWM:"));
    // A second start ends right after the instance guard: the program's libraries and Qt's
    // start-up, the floor under any run of it.
    const Figures second = timeRuns(client, {"/auto", "/test"}, clientEnv(service.hostPort()), runs);
    std::printf("second start while it runs (the floor)     %7.1f ms (%6.1f)  %.2f x bare\n", second.median,
                second.best, second.median / bareFigures.median);
    resident.terminate();
    return 0;
}
