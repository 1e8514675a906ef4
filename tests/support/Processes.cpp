#include "tests/support/Processes.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>

#include <csignal>
#include <grp.h>
#include <unistd.h>

namespace testsupport {

TracedProgram::TracedProgram(const QString& program, const QString& loggingRules, const QProcessEnvironment& extra,
                             const QStringList& unset, Output output)
    : program_(program), output_(output)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset)
        env.remove(name);
    env.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    process_.setProcessEnvironment(env);
    if (output_ == Output::Merged)
        process_.setProcessChannelMode(QProcess::MergedChannels);
}

TracedProgram::~TracedProgram()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void TracedProgram::start(const QStringList& args)
{
    process_.start(program_, args);
}

QByteArray TracedProgram::arrived()
{
    return output_ == Output::Merged ? process_.readAll() : process_.readAllStandardError();
}

const QByteArray& TracedProgram::read()
{
    err_ += arrived();
    return err_;
}

bool TracedProgram::waitFor(const QByteArray& text, int ms)
{
    const QDeadlineTimer deadline(ms);
    for (;;) {
        err_ += arrived();
        if (err_.contains(text))
            return true;
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return false;
        process_.waitForReadyRead(100);
    }
}

bool TracedProgram::finish(int ms)
{
    const bool ended = process_.waitForFinished(ms);
    err_ += arrived();
    return ended && process_.exitStatus() == QProcess::NormalExit;
}

bool TracedProgram::terminate(int ms)
{
    // Never a pid of 0: that would signal the whole process group.
    if (process_.state() == QProcess::Running)
        ::kill(pid_t(process_.processId()), SIGTERM);
    return finish(ms);
}

LinePeer::LinePeer(const QString& program, const QStringList& args)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
}

LinePeer::~LinePeer()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QByteArray LinePeer::line()
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000))
            return {};
    }
    return process.readLine().trimmed();
}

void LinePeer::killHard()
{
    process.kill();
    ASSERT_TRUE(process.waitForFinished(5000));
}

Xvfb::Xvfb(const QString& screen)
{
    process_.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
         QStringLiteral("-noreset"), QStringLiteral("-screen"), QStringLiteral("0"), screen});
    if (process_.waitForStarted(5000) && process_.waitForReadyRead(10000))
        display_ = ':' + process_.readLine().trimmed();
}

Xvfb::~Xvfb()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
}

void runAsNobodyWhenRoot(QProcess& process)
{
    if (::geteuid() != 0)
        return;
    process.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(kCannotBecomeNobody);
    });
}

bool couldNotBecomeNobody(const QProcess& process)
{
    return ::geteuid() == 0 && process.exitCode() == kCannotBecomeNobody;
}

}  // namespace testsupport
