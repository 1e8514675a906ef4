// Measurements of the launcher as a process, run by hand (never by ctest):
//   launcher_e2e_bench [runs=30]
// Wall time from process start to exit, hidden and headless (offscreen), of
// 1. a first run: the script, the first-run test, the registration file, the client's start
//    (a stub that ends at once) and the quit; each run with a fresh user hive;
// 2. a later run, which ends at the first-run test;
// beside a bare Qt application's start and exit when tests/client_e2e built one.
#include "tests/launcher/e2e/LauncherE2eSupport.h"
#include "tests/support/ProgramTimes.h"
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

using Figures = testsupport::ProgramTimes;

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
    const Figures first = testsupport::timeRuns(launcher, {}, env, runs, [&] {
        QFile::remove(userHive);
        QFile::remove(launchere2e::registrationFile());
    });
    if (!QFileInfo::exists(launchere2e::registrationFile())) {
        std::fprintf(stderr, "bench: the first run wrote no registration file\n");
        return 1;
    }
    print("first run (file written, client started)", first);
    print("later run (ends at the first-run test)", testsupport::timeRuns(launcher, {}, env, runs));
    const QString bare = testsupport::binaryDir() + QStringLiteral("/tests/client/e2e/bare_qt_app");
    if (QFileInfo(bare).isExecutable())
        print("bare Qt application, start to exit", testsupport::timeRuns(bare, {}, env, runs));
    return 0;
}
