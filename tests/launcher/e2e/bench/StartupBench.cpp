// The start-ups a user waits for, run by hand (never by ctest):
//   startup_bench [runs=25] [--instructions] [--shell]
// Beside a bare Qt Widgets program (start, one event pass, exit), in one run, offscreen:
// 1. the client's scheduled run ("/auto /test") that finds nothing: two calls to the local
//    message service, for a user who has opted in and has nothing unread;
// 2. the client's second start while a first one runs: it finds the first and ends (the
//    first publishes no window here, so nothing is raised);
// 3. the launcher at a login that is not a first run (it ends at the first-run test).
// The programs take turns, so a machine that grows busier slows all of them alike; each
// figure is the median of its runs, each ratio the quotient of two medians. Peak resident
// memory is the kernel's count for each process. --instructions also counts each
// program's instructions once under callgrind, which no load on the machine changes.
// --shell prints the environment and the commands, and waits for Enter with the service
// still up, for profiling by hand.
#include "client/Database.h"
#include "client/Globals.h"
#include "client/InstanceGuard.h"
#include "client/Settings.h"
#include "tests/launcher/e2e/LauncherE2eSupport.h"
#include "tests/peers/Peers.h"
#include "tests/support/ProgramTimes.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Program {
    Program(const char* label, QString path, QStringList args = {})
        : label(label), path(std::move(path)), args(std::move(args))
    {}
    const char* label;
    QString path;
    QStringList args;
    QProcessEnvironment env;
    std::vector<double> ms;
    std::vector<double> rssKiB;
    double instructions = 0;
};

// The registration the client's runs find: one record, no message, so a run that finds
// nothing new ends without a window.
void prepareClient()
{
    QByteArray tova = testsupport::readFile(testsupport::fixturePath(QStringLiteral("tova/launcher-template.tova")));
    tova.truncate(tova.indexOf(">BeginMessage"));
    testsupport::writeFile(client::Database::GetFolder() + QStringLiteral("/Ovex Kelvo.tova"), tova);
    client::Settings::Instance().Reset();
    client::Settings::Instance().Load();
    client::Settings::Instance().Set(QStringLiteral("UserOptIn"), QStringLiteral("1"));
    client::Settings::Instance().Save();
    client::Database::Close();
}

// What a login session without a display gives the programs: no display, no session bus,
// no proxy, no traces.
QProcessEnvironment runEnvironment(const QString& serviceHostPort)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_LOGGING_RULES", "http_proxy",
                             "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        env.remove(QString::fromLatin1(name));
    const QProcessEnvironment launcher = launchere2e::launcherEnv();
    for (const QString& key : launcher.keys())
        env.insert(key, launcher.value(key));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("OVEXKELVO_TEST_SERVICE"), serviceHostPort);
    return env;
}

bool runOnce(Program& program)
{
    const testsupport::MeasuredRun run = testsupport::measureRun(program.path, program.args, program.env);
    if (!run.clean) {
        std::fprintf(stderr, "bench: %s did not end cleanly\n", qPrintable(program.path));
        return false;
    }
    program.ms.push_back(run.ms);
    program.rssKiB.push_back(double(run.maxRssKiB));
    return true;
}

std::string shellQuoted(const QString& s)
{
    return "'" + s.toStdString() + "'";
}

}  // namespace

int main(int argc, char* argv[])
{
    testsupport::isolateEnvironment();
    QCoreApplication app(argc, argv);
    int runs = 25;
    bool instructions = false;
    bool shell = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--instructions") == 0)
            instructions = true;
        else if (std::strcmp(argv[i], "--shell") == 0)
            shell = true;
        else
            runs = std::max(1, std::atoi(argv[i]));
    }

    const QJsonArray channels{QJsonObject{{"name", "critical_updates"}, {"fields", QJsonArray{"MODL"}}}};
    testpeers::MessageService service(testsupport::sandboxRoot() + QStringLiteral("/service"),
                                      {testpeers::MessageService::answers(channels, {}), false, {}, {}});
    if (!service.started())
        return 1;
    const QProcessEnvironment env = runEnvironment(service.hostPort());

    std::vector<Program> programs{
        {"bare Qt Widgets program", testsupport::binaryDir() + QStringLiteral("/tests/client/e2e/bare_qt_app")},
        {"client: scheduled run, finds nothing",
         testsupport::programPath(QStringLiteral("OvexKelvo")),
         {QStringLiteral("/auto"), QStringLiteral("/test")}},
        {"client: second start, finds the first", testsupport::programPath(QStringLiteral("OvexKelvo"))},
        {"launcher: login, not a first run", testsupport::programPath(QStringLiteral("launcher"))},
    };
    for (Program& p : programs)
        p.env = env;

    // The first client of the second starts is this process's guard, in a session of its
    // own, so the scheduled runs stay first in theirs.
    const QString heldSession = testsupport::sandboxRoot() + QStringLiteral("/run-held");
    QDir().mkpath(heldSession);
    QFile::setPermissions(heldSession, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    programs[2].env.insert(QStringLiteral("XDG_RUNTIME_DIR"), heldSession);
    client::InstanceGuard first;
    {
        const QByteArray session = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", heldSession.toLocal8Bit());
        first.Open(client::kInstanceId);
        qputenv("XDG_RUNTIME_DIR", session);
    }
    if (!first.IsFirst()) {
        std::fprintf(stderr, "bench: the first client of the second starts could not be made\n");
        return 1;
    }

    // The launcher's first run, with a client that ends at once, makes the later runs; the
    // registration file it leaves is not the client's concern here.
    const QString stub = testsupport::sandboxRoot() + QStringLiteral("/opt/ovex-kelvo/OvexKelvo");
    testsupport::writeExecutable(stub, "#!/bin/sh\nexit 0\n");
    if (!launchere2e::prepareMachine(stub) || !runOnce(programs[3]))
        return 1;
    QFile::remove(launchere2e::registrationFile());
    // The client's first run imports its registration file; the measured ones only check.
    prepareClient();
    if (!runOnce(programs[1]) || QFileInfo::exists(client::Database::GetFolder() + "/Ovex Kelvo.tova")) {
        std::fprintf(stderr, "bench: the client's first run did not import its registration file\n");
        return 1;
    }
    for (Program& p : programs) {
        p.ms.clear();
        p.rssKiB.clear();
    }

    if (shell) {
        for (const QString& entry : env.toStringList())
            std::printf("export %s\n", shellQuoted(entry).c_str());
        for (const Program& p : programs) {
            const QString session = p.env.value(QStringLiteral("XDG_RUNTIME_DIR"));
            const std::string prefix = session == env.value(QStringLiteral("XDG_RUNTIME_DIR"))
                                           ? std::string()
                                           : "XDG_RUNTIME_DIR=" + shellQuoted(session) + " ";
            std::printf("%s%s %s\n", prefix.c_str(), shellQuoted(p.path).c_str(), qPrintable(p.args.join(u' ')));
        }
        std::printf("# Enter ends the service and the sandbox\n");
        std::fflush(stdout);
        std::string line;
        std::getline(std::cin, line);
        return 0;
    }

    for (int i = 0; i < runs; ++i)
        for (size_t k = 0; k < programs.size(); ++k)
            if (!runOnce(programs[(size_t(i) + k) % programs.size()]))
                return 1;
    if (instructions)
        for (Program& p : programs)
            p.instructions = testsupport::countInstructions(p.path, p.args, p.env, testsupport::sandboxRoot());

    const double bareMs = testsupport::median(programs[0].ms);
    std::printf("start to exit, %d alternating runs each, offscreen; median (best), peak resident median (max)\n",
                runs);
    for (const Program& p : programs) {
        const double ms = testsupport::median(p.ms);
        const double best = *std::min_element(p.ms.begin(), p.ms.end());
        const double rss = testsupport::median(p.rssKiB) / 1024;
        const double rssMax = *std::max_element(p.rssKiB.begin(), p.rssKiB.end()) / 1024;
        std::printf("  %-38s %7.1f ms (%6.1f)  %5.2fx  %5.1f MiB (%5.1f)", p.label, ms, best, ms / bareMs, rss, rssMax);
        if (instructions)
            std::printf("  %7.1f M instructions (%5.2fx)", p.instructions / 1e6,
                        programs[0].instructions > 0 ? p.instructions / programs[0].instructions : 0.0);
        std::printf("\n");
    }
    const double clientRatio = testsupport::median(programs[1].ms) / bareMs;
    const double clientRss = testsupport::median(programs[1].rssKiB) / 1024;
    const double launcherRatio = testsupport::median(programs[3].ms) / bareMs;
    std::printf("goals: scheduled run at most 1.5x and 30 MiB: %s; login start at most 1.1x: %s\n",
                clientRatio <= 1.5 && clientRss <= 30 ? "MET" : "NOT MET", launcherRatio <= 1.1 ? "MET" : "NOT MET");
    return 0;
}
