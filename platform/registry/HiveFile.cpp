#include "platform/registry/HiveFile.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcRegistry, "ovex.registry")

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Users read the machine hive; the user hive is theirs alone.
mode_t fileMode(RootKey root)
{
    return root == RootKey::LocalMachine ? 0644 : 0600;
}
mode_t folderMode(RootKey root)
{
    return root == RootKey::LocalMachine ? 0755 : 0700;
}

QString folderOf(const QString& path)
{
    return path.left(qMax<qsizetype>(path.lastIndexOf(u'/'), 1));
}

bool lockFd(int fd, int how)
{
    while (::flock(fd, how) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

bool makeFolders(const QString& folder, mode_t mode, QString* error)
{
    const QByteArray path = QFile::encodeName(folder);
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        const QByteArray part = path.left(i);
        struct stat st;
        if (::stat(part.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (::mkdir(part.constData(), mode) != 0 && errno != EEXIST) {
            *error = QStringLiteral("Unable to create folder %1: %2").arg(QFile::decodeName(part), errnoText(errno));
            return false;
        }
    }
    return true;
}

// The last hive read from each file, with what identifies that version of the file. Writers
// replace the file by rename, so a new version has another inode or other times.
struct HiveCache {
    struct Entry {
        QString path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        std::optional<Hive> hive;
    };
    QMutex mutex;
    Entry entries[2];  // by RootKey
};

HiveCache& hiveCache()
{
    static HiveCache cache;
    return cache;
}

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Reads and parses the hive file; a missing file is an empty hive. An unchanged file is
// not parsed again.
std::optional<Hive> readHive(RootKey root, const QString& path, QString* error)
{
    Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return Hive(root);
        *error = QStringLiteral("Unable to open registry hive %1: %2").arg(path, errnoText(errno));
        return std::nullopt;
    }
    struct stat st;
    const bool known = ::fstat(fd.get(), &st) == 0;
    HiveCache::Entry& cached = hiveCache().entries[root == RootKey::LocalMachine ? 0 : 1];
    if (known) {
        QMutexLocker locker(&hiveCache().mutex);
        if (cached.hive && cached.path == path && cached.device == st.st_dev && cached.inode == st.st_ino &&
            cached.size == st.st_size && sameTime(cached.modified, st.st_mtim) && sameTime(cached.changed, st.st_ctim))
            return cached.hive;
    }
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = QStringLiteral("Unable to read registry hive %1: %2").arg(path, errnoText(errno));
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    QString why;
    std::optional<Hive> hive = Hive::parse(root, data, &why);
    if (!hive) {
        *error = QStringLiteral("Registry hive %1 is damaged, %2").arg(path, why);
        return hive;
    }
    // Only a file that did not change while it was read stands for what was parsed, and only
    // one whose last change is a second old: file times are coarse, so a file changed again
    // within the same tick (its inode reused by a rename) could otherwise pass as unchanged.
    struct stat after;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (known && ::fstat(fd.get(), &after) == 0 && after.st_size == st.st_size && sameTime(after.st_mtim, st.st_mtim) &&
        sameTime(after.st_ctim, st.st_ctim) && off_t(data.size()) == st.st_size && st.st_ctim.tv_sec + 1 < now.tv_sec) {
        QMutexLocker locker(&hiveCache().mutex);
        cached = HiveCache::Entry{path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, hive};
    }
    return hive;
}

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

// Write-temp-and-rename: a reader, or a crash, sees the old hive or the new one, never
// a mixture. Called with the exclusive lock held.
bool writeHive(RootKey root, const QString& path, const Hive& hive, QString* error)
{
    const QByteArray data = hive.serialize();
    // Never put down a file that would then refuse every later write.
    QString why;
    if (!Hive::parse(root, data, &why)) {
        *error = QStringLiteral("Refusing to write registry hive %1, it would not read back (%2)").arg(path, why);
        return false;
    }

    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        *error = QStringLiteral("Unable to create a file beside registry hive %1: %2").arg(path, errnoText(errno));
        return false;
    }
    auto failed = [&](const char* step) {
        *error = QStringLiteral("Unable to %1 registry hive %2: %3").arg(QLatin1String(step), path, errnoText(errno));
        ::unlink(temp.constData());
        return false;
    };

    // Keep the mode and owner the hive had (root editing a user's hive must not take it over).
    struct stat st;
    if (::stat(target.constData(), &st) == 0) {
        if (::fchmod(fd.get(), st.st_mode & 07777) != 0)
            return failed("set the mode of");
        if (::geteuid() == 0 && (st.st_uid != 0 || st.st_gid != 0) && ::fchown(fd.get(), st.st_uid, st.st_gid) != 0)
            return failed("set the owner of");
    } else if (::fchmod(fd.get(), fileMode(root)) != 0) {
        return failed("set the mode of");
    }
    if (!writeAll(fd.get(), data))
        return failed("write");
    if (::fsync(fd.get()) != 0)
        return failed("flush");
    if (::close(fd.release()) != 0)
        return failed("close");
    if (::rename(temp.constData(), target.constData()) != 0)
        return failed("replace");
    // Make the rename itself durable.
    Fd dir(::open(QFile::encodeName(folderOf(path)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

QString lockPathOf(const QString& hivePath)
{
    return hivePath + QStringLiteral(".lock");
}

void report(const QString& why, QString* error)
{
    if (error)
        *error = why;
    else
        qCWarning(lcRegistry).noquote() << why;
}

}  // namespace

std::optional<Hive> loadHiveShared(RootKey root, const QString& path, QString* error)
{
    const QByteArray lockPath = QFile::encodeName(lockPathOf(path));
    // A folder the user cannot write (the machine hive in /etc) may have no lock file and
    // allow none; the read then goes on unlocked, which is safe since writers replace the
    // hive by rename and a reader always sees one whole version.
    int lockFile = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode(root));
    if (lockFile < 0)
        lockFile = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC);
    Fd lock(lockFile);
    if (lock.get() >= 0)
        lockFd(lock.get(), LOCK_SH);
    QString why;
    std::optional<Hive> hive = readHive(root, path, &why);
    if (!hive)
        report(why, error);
    return hive;
}

bool modifyHiveFile(RootKey root, const QString& path, const std::function<bool(Hive&)>& change, QString* error)
{
    QString why;
    auto failed = [&] {
        report(why, error);
        return false;
    };
    if (!makeFolders(folderOf(path), folderMode(root), &why))
        return failed();
    const QString lockPath = lockPathOf(path);
    Fd lock(::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode(root)));
    if (lock.get() < 0) {
        why = QStringLiteral("Unable to open lock file %1: %2").arg(lockPath, errnoText(errno));
        return failed();
    }
    if (!lockFd(lock.get(), LOCK_EX)) {
        why = QStringLiteral("Unable to lock %1: %2").arg(lockPath, errnoText(errno));
        return failed();
    }
    std::optional<Hive> hive = readHive(root, path, &why);
    if (!hive)
        return failed();
    if (!change(*hive))
        return true;
    if (!writeHive(root, path, *hive, &why))
        return failed();
    return true;
}

}  // namespace platform
