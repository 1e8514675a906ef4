#pragma once

// Wall time of whole program runs, start to exit, for the benchmarks (never for a test).

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace testsupport {

struct ProgramTimes {
    double median = 0, best = 0, worst = 0;  // milliseconds
};

// `runs` runs of `program`, `before` called ahead of each; a run that does not end cleanly
// with exit code 0 ends the benchmark, since its time would mean nothing.
inline ProgramTimes timeRuns(const QString& program, const QStringList& args, const QProcessEnvironment& env, int runs,
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
        p.start(program, args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::fprintf(stderr, "bench: %s did not end cleanly: %s\n", qPrintable(program),
                         p.readAllStandardError().constData());
            std::exit(1);
        }
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? ProgramTimes{} : ProgramTimes{ms[ms.size() / 2], ms.front(), ms.back()};
}

// One run of a program: wall time from the spawn to its end, and its peak resident set
// as the kernel counted it (wait4), which QProcess cannot tell.
struct MeasuredRun {
    double ms = 0;
    long maxRssKiB = 0;
    bool clean = false;  // ended by itself with exit code 0
};

inline MeasuredRun measureRun(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    std::vector<std::string> argStore{QFile::encodeName(program).toStdString()};
    for (const QString& a : args)
        argStore.push_back(a.toLocal8Bit().toStdString());
    std::vector<std::string> envStore;
    for (const QString& entry : env.toStringList())
        envStore.push_back(entry.toLocal8Bit().toStdString());
    std::vector<char*> argv, envp;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    // The output goes nowhere: a pipe to read would be part of what is timed.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    MeasuredRun run;
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.ms = double(t.nsecsElapsed()) / 1e6;
    run.maxRssKiB = usage.ru_maxrss;
    run.clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// The instructions one run of a program executes, counted by callgrind; the count does not
// depend on how busy the machine is. 0 when valgrind is missing or the run failed.
inline double countInstructions(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                                const QString& scratchDir)
{
    const QString out = scratchDir + QStringLiteral("/callgrind.out");
    QFile::remove(out);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(
        QStringLiteral("valgrind"),
        QStringList{QStringLiteral("--tool=callgrind"), QStringLiteral("--callgrind-out-file=") + out, program} + args);
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return 0;
    QFile file(out);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    double total = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.startsWith("totals:") || line.startsWith("summary:"))
            total = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble();
    }
    return total;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace testsupport
