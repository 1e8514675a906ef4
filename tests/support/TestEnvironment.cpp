#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {
namespace {

QString g_root;

void removeRootAtExit()
{
    if (!g_root.isEmpty() && std::getenv("OVEX_KEEP_TEST_ROOT") == nullptr) {
        std::error_code ec;
        std::filesystem::remove_all(g_root.toStdString(), ec);
    }
}

void setEnv(const char* name, const QString& value)
{
    ::setenv(name, value.toLocal8Bit().constData(), 1);
}

}  // namespace

QString isolateEnvironment()
{
    static bool registered = false;
    removeRootAtExit();
    char pattern[] = "/tmp/ovex-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_root = QString::fromLocal8Bit(made);
    const QString home = g_root + "/home";
    const QString runtime = g_root + "/run";
    for (const QString& d :
         {home, home + "/.config", home + "/.local/share", home + "/.cache", runtime, g_root + "/registry"})
        std::filesystem::create_directories(d.toStdString());
    ::chmod(runtime.toLocal8Bit().constData(), 0700);

    setEnv("HOME", home);
    setEnv("XDG_CONFIG_HOME", home + "/.config");
    setEnv("XDG_DATA_HOME", home + "/.local/share");
    setEnv("XDG_CACHE_HOME", home + "/.cache");
    setEnv("XDG_RUNTIME_DIR", runtime);
    setEnv("OVEX_REGISTRY_DIR", g_root + "/registry");
    setEnv("TMPDIR", g_root);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setEnv("QT_QPA_PLATFORM", "offscreen");
    // No test reaches the user's real service manager: a systemctl that always fails
    // stands first on PATH unless a test puts a recording one before it.
    const QString bin = g_root + "/bin";
    std::filesystem::create_directories(bin.toStdString());
    {
        QFile stub(bin + "/systemctl");
        if (stub.open(QIODevice::WriteOnly)) {
            stub.write("#!/bin/sh\nexit 1\n");
            stub.close();
            stub.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
    }
    const char* path = std::getenv("PATH");
    setEnv("PATH", bin + ":" + QString::fromLocal8Bit(path ? path : "/usr/bin:/bin"));
    // Nor the machine's system bus: the network state comes from a test's own peer, and
    // with none, from no bus at all.
    setEnv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + g_root + "/no-system-bus");
    ::unsetenv("OVEXKELVO_TEST_SERVICE");
    ::unsetenv("OVEX_DMI_DIR");
    if (!registered) {
        std::atexit(removeRootAtExit);
        registered = true;
    }
    return g_root;
}

QString sandboxRoot()
{
    return g_root;
}

QString binaryDir()
{
    return QStringLiteral(OVEX_TEST_BINARY_DIR);
}
QString sourceDir()
{
    return QStringLiteral(OVEX_TEST_SOURCE_DIR);
}

QString programPath(const QString& name)
{
    for (const QString& sub : {QStringLiteral("client"), QStringLiteral("launcher"), QStringLiteral("")}) {
        const QString candidate = binaryDir() + "/" + sub + (sub.isEmpty() ? "" : "/") + name;
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return binaryDir() + "/" + name;
}

QString fixturePath(const QString& name)
{
    return sourceDir() + QStringLiteral("/tests/fixtures/") + name;
}

RunResult runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& extraEnv,
                     int timeoutMs, const QString& workingDir)
{
    RunResult r;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& k : extraEnv.keys())
        env.insert(k, extraEnv.value(k));
    p.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        r.err = p.errorString().toUtf8();
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        r.timedOut = true;
        p.kill();
        p.waitForFinished(5000);
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.crashed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    return r;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size());
}

void writeExecutable(const QString& path, const QByteArray& data)
{
    writeFile(path, data);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

}  // namespace testsupport
