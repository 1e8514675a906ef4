#pragma once

// Wall time of whole program runs, start to exit, for the benchmarks (never for a test).

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

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

}  // namespace testsupport
