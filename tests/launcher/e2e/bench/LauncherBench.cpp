// Measurements of the launcher as a process, run by hand (never by ctest):
//   launcher_e2e_bench [runs=30]
// Wall time from process start to exit, hidden and headless (offscreen), of
// 1. a first run: the script, the first-run test, the registration file, the client's start
//    (a stub that ends at once) and the quit; each run with a fresh user hive;
// 2. a later run, which ends at the first-run test;
// beside a bare Qt application's start and exit when tests/client_e2e built one.
#include "tests/launcher/e2e/LauncherE2eSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double median = 0, best = 0, worst = 0;
};

Figures timeRuns(const QString& program, const QProcessEnvironment& env, int runs,
                 const std::function<void()>& before = {})
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(program, {});
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::fprintf(stderr, "bench: %s did not end cleanly: %s\n", qPrintable(program),
                         p.readAllStandardError().constData());
            std::exit(1);
        }
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), ms.back()};
}

void print(const char* what, const Figures& f)
{
    std::printf("%-44s median %7.1f ms   best %7.1f ms   worst %7.1f ms\n", what, f.median, f.best, f.worst);
}

}  // namespace

int main(int argc, char* argv[])
{
    testsupport::isolateEnvironment();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const QString launcher = testsupport::programPath(QStringLiteral("launcher"));
    const QString stub = testsupport::sandboxRoot() + QStringLiteral("/opt/ovex-kelvo/OvexKelvo");
    testsupport::writeExecutable(stub, "#!/bin/sh\nexit 0\n");
    if (!launchere2e::prepareMachine(stub))
        return 1;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QProcessEnvironment extra = launchere2e::launcherEnv();
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString userHive = platform::Registry::hiveFilePath(platform::RootKey::CurrentUser);

    std::printf("launcher: %s, %d runs each\n", qPrintable(launcher), runs);
    const Figures first = timeRuns(launcher, env, runs, [&] {
        QFile::remove(userHive);
        QFile::remove(launchere2e::registrationFile());
    });
    if (!QFileInfo::exists(launchere2e::registrationFile())) {
        std::fprintf(stderr, "bench: the first run wrote no registration file\n");
        return 1;
    }
    print("first run (file written, client started)", first);
    print("later run (ends at the first-run test)", timeRuns(launcher, env, runs));
    const QString bare = testsupport::binaryDir() + QStringLiteral("/tests/client/e2e/bare_qt_app");
    if (QFileInfo(bare).isExecutable())
        print("bare Qt application, start to exit", timeRuns(bare, env, runs));
    return 0;
}
