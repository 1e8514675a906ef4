#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

// Gives the running test a fresh HOME, XDG folders and registry folder of its own, under
// one temporary root that is removed at exit. The test main calls it once before Qt
// starts; a test that needs a clean slate mid-way may call it again.
QString isolateEnvironment();

// The root made by the last isolateEnvironment().
QString sandboxRoot();

// Folder of the built programs and peers, as the build passed them in.
QString binaryDir();                       // the build tree's top folder
QString sourceDir();                       // the source tree's top folder
QString programPath(const QString& name);  // a built program, e.g. "OvexKelvo"
QString fixturePath(const QString& name);  // a shared sample under tests/fixtures, e.g. "dmi/laptop"

// Result of running a program to its end.
struct RunResult {
    int exitCode = -1;
    bool crashed = false;
    bool timedOut = false;
    QByteArray out;
    QByteArray err;
};

// Runs `program` with `args` in the test's environment (plus `extraEnv`), waits at most
// `timeoutMs`, and kills it when it runs longer.
RunResult runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& extraEnv = {},
                     int timeoutMs = 30000, const QString& workingDir = {});

// Writes `data` to `path`, creating folders; fails the test on error.
void writeFile(const QString& path, const QByteArray& data);
// The same, for a script or program the test runs: executable by everyone, writable by us.
void writeExecutable(const QString& path, const QByteArray& data);
QByteArray readFile(const QString& path);

}  // namespace testsupport
