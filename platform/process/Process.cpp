#include "platform/process/Process.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

// posix_spawn's attributes and file actions, destroyed on every way out.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    bool attrMade = false;
    bool actionsMade = false;
    ~SpawnSetup()
    {
        if (actionsMade)
            posix_spawn_file_actions_destroy(&actions);
        if (attrMade)
            posix_spawnattr_destroy(&attr);
    }
};

void setError(QString* error, const QString& program, const char* what, int code)
{
    if (error != nullptr)
        *error = QStringLiteral("Unable to start %1: %2: %3")
                     .arg(program, QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(code)));
}

}  // namespace

bool spawnDetached(const QString& program, const QStringList& arguments, const QString& workingDir, QString* error)
{
    // Everything the child needs is built here: argv and its storage live until
    // posix_spawn returns, which happens only once the child has exec'd or failed to.
    std::vector<QByteArray> storage;
    storage.reserve(size_t(arguments.size()) + 1);
    storage.push_back(QFile::encodeName(program));
    for (const QString& a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const QByteArray dir = QFile::encodeName(workingDir);

    SpawnSetup setup;
    int rc = posix_spawnattr_init(&setup.attr);
    if (rc != 0) {
        setError(error, program, "posix_spawnattr_init", rc);
        return false;
    }
    setup.attrMade = true;
    rc = posix_spawn_file_actions_init(&setup.actions);
    if (rc != 0) {
        setError(error, program, "posix_spawn_file_actions_init", rc);
        return false;
    }
    setup.actionsMade = true;

    // The child must not inherit what this process has made of its signals (Qt's
    // termination handlers are reset by exec anyway, but blocked and ignored signals are
    // not), nor its session: closing the terminal the launcher ran in must not end it.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &all);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    if (!workingDir.isEmpty()) {
        rc = posix_spawn_file_actions_addchdir_np(&setup.actions, dir.constData());
        if (rc != 0) {
            setError(error, program, "posix_spawn_file_actions_addchdir_np", rc);
            return false;
        }
    }
    // Only the standard descriptors go to the child; a lock or socket this process holds
    // without close-on-exec would otherwise live on in it.
    rc = posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    if (rc != 0) {
        setError(error, program, "posix_spawn_file_actions_addclosefrom_np", rc);
        return false;
    }

    pid_t pid = -1;
    rc = posix_spawn(&pid, storage.front().constData(), &setup.actions, &setup.attr, argv.data(), environ);
    if (rc != 0) {
        setError(error, program, workingDir.isEmpty() ? "posix_spawn" : "posix_spawn in the working folder", rc);
        return false;
    }

    // The child is reaped by a thread of its own, waiting for that pid only, so no other
    // child's status is taken from whoever waits for it (QProcess included). When this
    // process ends first, the child passes to init, which reaps it.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
    return true;
}

}  // namespace platform
