// Starting a program without waiting: what the child gets (its arguments untouched by any
// shell, the working folder, the standard descriptors only, clean signals, its own
// session), that it is reaped, and the starts that fail.
#include "tests/support/TestEnvironment.h"

#include "platform/process/Process.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

// A program that writes what it was given into `log` once it has it all.
QString writeRecorder(const QString& log)
{
    const QString path = testsupport::sandboxRoot() + QStringLiteral("/bin/recorder");
    testsupport::writeExecutable(path, QStringLiteral("#!/bin/sh\n"
                                                      "out='%1'\n"
                                                      "{\n"
                                                      "  echo \"pid=$$\"\n"
                                                      "  echo \"cwd=$(pwd)\"\n"
                                                      "  echo \"sid=$(cut -d' ' -f6 /proc/$$/stat)\"\n"
                                                      "  [ -e /proc/$$/fd/$OVEX_PROBE_FD ] && echo inherited-fd\n"
                                                      "  for a in \"$@\"; do printf 'arg=[%s]\\n' \"$a\"; done\n"
                                                      "} > \"$out.part\" && mv \"$out.part\" \"$out\"\n")
                                           .arg(log)
                                           .toUtf8());
    return path;
}

QStringList waitForLines(const QString& path)
{
    const QDeadlineTimer deadline(20000);
    while (!QFile::exists(path) && !deadline.hasExpired())
        QThread::msleep(10);
    return QString::fromUtf8(testsupport::readFile(path)).split(u'\n', Qt::SkipEmptyParts);
}

QString valueOf(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return {};
}

TEST(SpawnDetached, TheChildGetsItsArgumentsFolderAndNothingElse)
{
    const QString log = testsupport::sandboxRoot() + QStringLiteral("/recorded");
    const QString program = writeRecorder(log);
    const QString folder = testsupport::sandboxRoot() + QStringLiteral("/a folder with 'quotes'");
    ASSERT_TRUE(QDir().mkpath(folder));
    // A descriptor this process holds without close-on-exec, numbered high, clear of those
    // the shell opens for itself.
    const int opened = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(opened, 3);
    const int fd = ::fcntl(opened, F_DUPFD, 200);
    ::close(opened);
    ASSERT_GE(fd, 200);
    qputenv("OVEX_PROBE_FD", QByteArray::number(fd));

    const QStringList args{QStringLiteral("two words"),
                           QStringLiteral("$(touch pwned)"),
                           QStringLiteral("*"),
                           QStringLiteral("'\"\\"),
                           QString(),
                           QStringLiteral("caf\u00e9")};
    QString error;
    ASSERT_TRUE(platform::spawnDetached(program, args, folder, &error)) << error.toStdString();
    const QStringList lines = waitForLines(log);
    ::close(fd);

    QStringList got;
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("arg=")))
            got << line.mid(5, line.size() - 6);
    }
    EXPECT_EQ(got, args);
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/pwned")));
    EXPECT_EQ(valueOf(lines, QStringLiteral("cwd")), folder);
    EXPECT_FALSE(lines.contains(QStringLiteral("inherited-fd")));
    EXPECT_EQ(valueOf(lines, QStringLiteral("sid")), valueOf(lines, QStringLiteral("pid"))) << "a session of its own";

    // The signal state a program starts with, read by one that does not change it (a shell
    // blocks signals for its own waits).
    const QString status = testsupport::sandboxRoot() + QStringLiteral("/status");
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
    ::signal(SIGHUP, SIG_IGN);
    ASSERT_TRUE(platform::spawnDetached(QStringLiteral("/bin/cp"), {QStringLiteral("/proc/self/status"), status},
                                        testsupport::sandboxRoot()));
    ::signal(SIGHUP, SIG_DFL);
    ::pthread_sigmask(SIG_UNBLOCK, &usr1, nullptr);
    const QDeadlineTimer deadline(20000);
    while (!testsupport::readFile(status).contains("nonvoluntary_ctxt_switches") && !deadline.hasExpired())
        QThread::msleep(10);
    bool sawMask = false;
    for (const QByteArray& line : testsupport::readFile(status).split('\n')) {
        const quint64 bits = line.mid(7).trimmed().toULongLong(nullptr, 16);
        if (line.startsWith("SigBlk:")) {
            sawMask = true;
            EXPECT_EQ(bits, 0u) << line.toStdString();
        }
        if (line.startsWith("SigIgn:")) {
            EXPECT_EQ(bits & (quint64(1) << (SIGHUP - 1)), 0u) << line.toStdString();
        }
    }
    EXPECT_TRUE(sawMask);
}

// An ended child must not stay a zombie while the starter lives on.
TEST(SpawnDetached, TheEndedChildIsReaped)
{
    const QString log = testsupport::sandboxRoot() + QStringLiteral("/recorded");
    ASSERT_TRUE(platform::spawnDetached(writeRecorder(log), {}, testsupport::sandboxRoot()));
    const QString pid = valueOf(waitForLines(log), QStringLiteral("pid"));
    ASSERT_FALSE(pid.isEmpty());
    const QString proc = QStringLiteral("/proc/") + pid;
    const QDeadlineTimer deadline(20000);
    while (QFile::exists(proc) && !deadline.hasExpired())
        QThread::msleep(10);
    EXPECT_FALSE(QFile::exists(proc)) << testsupport::readFile(proc + QStringLiteral("/stat")).toStdString();
}

struct FailCase {
    const char* name;
    const char* program;  // under the sandbox
    const char* content;  // null: no file
    bool executable;
    const char* folder;  // under the sandbox
};

void PrintTo(const FailCase& c, std::ostream* os)
{
    *os << c.name;
}

class SpawnFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(SpawnFailure, IsReportedWithTheProgramsName)
{
    const FailCase& c = GetParam();
    const QString program = testsupport::sandboxRoot() + u'/' + QString::fromLatin1(c.program);
    if (c.content != nullptr) {
        testsupport::writeFile(program, c.content);
        if (c.executable)
            QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    QString error;
    EXPECT_FALSE(platform::spawnDetached(program, {QStringLiteral("/import")},
                                         testsupport::sandboxRoot() + u'/' + QString::fromLatin1(c.folder), &error));
    EXPECT_TRUE(error.contains(program)) << error.toStdString();
}

const FailCase kFailures[] = {
    {"no_such_program", "bin/missing", nullptr, false, "."},
    {"not_executable", "bin/plain", "#!/bin/sh\nexit 0\n", false, "."},
    {"not_a_program_format", "bin/text", "just text\n", true, "."},
    {"no_such_working_folder", "bin/ok", "#!/bin/sh\nexit 0\n", true, "no/such/folder"},
};

INSTANTIATE_TEST_SUITE_P(Table, SpawnFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
