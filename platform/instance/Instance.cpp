#include "platform/instance/Instance.h"

#include "platform/shell/Shell.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {
namespace {

// Callers only ever need a few bytes; a bigger file is not one of ours.
constexpr int kMaxBlockSize = 64 * 1024;

// A request is one short line; anything longer is not a client of ours.
constexpr qint64 kMaxRequestLine = 64;

// A client that connects and says nothing must not hold a socket for ever.
constexpr int kRequestTimeoutMs = 5000;

int openNoIntr(const QByteArray& path, int flags, mode_t mode = 0600)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void setError(QString* error, const QString& text)
{
    if (error != nullptr)
        *error = text;
}

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

}  // namespace

QString kernelObjectPath(const QString& name, const QString& suffix, QString* error)
{
    const QString folder = tempFolder(error);
    if (folder.isEmpty())
        return {};
    QString file = name + suffix;
    for (QChar& c : file) {
        if (c == u'\\' || c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'_';
    }
    // "", "." and ".." would name the folder itself or its parent.
    if (file.isEmpty() || file == u"." || file == u"..")
        file = QString(file.size() + 1, u'_');
    return folder + u'/' + file;
}

// ---- NamedMutex ---------------------------------------------------------------

NamedMutex::~NamedMutex()
{
    close();
}

NamedMutex::Result NamedMutex::create(const QString& name, QString* error)
{
    close();
    const QString path = kernelObjectPath(name, QStringLiteral(".lock"), error);
    if (path.isEmpty())
        return Result::Failed;
    int fd = openNoIntr(QFile::encodeName(path), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        setError(error, QStringLiteral("Unable to open the lock file %1: %2").arg(path, systemReason(errno)));
        return Result::Failed;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int code = errno;
        closeFd(fd);
        if (code == EWOULDBLOCK)
            return Result::AlreadyExists;
        setError(error, QStringLiteral("Unable to lock %1: %2").arg(path, systemReason(code)));
        return Result::Failed;
    }
    // The lock file is never removed: unlinking a locked file would let the next
    // process lock a fresh inode while we still hold the old one.
    fd_ = fd;
    return Result::Created;
}

bool NamedMutex::isOpen() const
{
    return fd_ >= 0;
}

void NamedMutex::close()
{
    closeFd(fd_);
}

// ---- SharedBlock --------------------------------------------------------------

SharedBlock::~SharedBlock()
{
    close();
}

// The new block is built under a temporary name and renamed into place. Truncating the
// existing file instead would shrink it under any process that still maps it, and that
// process would die of SIGBUS on its next read; this way it keeps the old pages.
bool SharedBlock::create(const QString& name, int size, QString* error)
{
    close();
    if (size <= 0 || size > kMaxBlockSize) {
        setError(error, QStringLiteral("Unable to make the shared block \"%1\": %2 bytes is not a size from 1 to %3")
                            .arg(name, QString::number(size), QString::number(kMaxBlockSize)));
        return false;
    }
    const QString path = kernelObjectPath(name, QStringLiteral(".shm"), error);
    if (path.isEmpty())
        return false;
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0) {
        setError(error, QStringLiteral("Unable to make the shared block %1: %2").arg(path, systemReason(errno)));
        return false;
    }
    int rc;
    do {
        rc = ::ftruncate(fd, size);
    } while (rc != 0 && errno == EINTR);
    const char* step = "ftruncate";
    void* map = MAP_FAILED;
    if (rc == 0) {
        step = "mmap";
        map = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    int code = errno;
    closeFd(fd);
    if (map != MAP_FAILED) {
        step = "rename";
        rc = ::rename(temp.constData(), target.constData());
        code = errno;
    }
    if (map == MAP_FAILED || rc != 0) {
        if (map != MAP_FAILED)
            ::munmap(map, size_t(size));
        ::unlink(temp.constData());
        setError(error, QStringLiteral("Unable to make the shared block %1: %2: %3")
                            .arg(path, QString::fromLatin1(step), systemReason(code)));
        return false;
    }
    data_ = static_cast<unsigned char*>(map);
    size_ = size;
    std::memset(data_, 0, size_t(size_));
    return true;
}

bool SharedBlock::open(const QString& name, QString* error)
{
    close();
    const QString path = kernelObjectPath(name, QStringLiteral(".shm"), error);
    if (path.isEmpty())
        return false;
    int fd = openNoIntr(QFile::encodeName(path), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        setError(error, QStringLiteral("Unable to open the shared block %1: %2").arg(path, systemReason(errno)));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > kMaxBlockSize) {
        setError(error, QStringLiteral("Unable to open the shared block %1: it is not a file of 1 to %2 bytes")
                            .arg(path, QString::number(kMaxBlockSize)));
        closeFd(fd);
        return false;
    }
    const int size = int(st.st_size);
    void* map = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int code = errno;
    closeFd(fd);
    if (map == MAP_FAILED) {
        setError(error, QStringLiteral("Unable to map the shared block %1: %2").arg(path, systemReason(code)));
        return false;
    }
    data_ = static_cast<unsigned char*>(map);
    size_ = size;
    return true;
}

bool SharedBlock::isMapped() const
{
    return data_ != nullptr;
}

unsigned char* SharedBlock::data() const
{
    return data_;
}

int SharedBlock::size() const
{
    return size_;
}

void SharedBlock::close()
{
    if (data_ != nullptr)
        ::munmap(data_, size_t(size_));
    data_ = nullptr;
    size_ = 0;
}

// ---- Window raising -----------------------------------------------------------

// A socket path must fit in sun_path. Long object names under a long runtime folder do
// not, so those fall back to a digest of the name; both ends compute the same path.
QString windowRaiseSocketPath(const QString& name, quint32 token, QString* error)
{
    const QString tokenText = QStringLiteral("%1").arg(token, 8, 16, QLatin1Char('0'));
    const QString path = kernelObjectPath(name + u'_' + tokenText, QStringLiteral(".sock"), error);
    if (path.isEmpty() || QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path)))
        return path;
    const QByteArray digest = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return kernelObjectPath(QStringLiteral("raise-") + QString::fromLatin1(digest) + u'_' + tokenText,
                            QStringLiteral(".sock"));
}

namespace {

// The address of a socket file; false when the path does not fit in one.
bool socketAddress(const QByteArray& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// One asking process: its line is read as it comes, answered, and the connection closed.
class RaiseConnection : public QObject {
public:
    RaiseConnection(int fd, WindowRaiseServer* server) : QObject(server), fd_(fd), server_(server)
    {
        notifier_ = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { read(); });
        QTimer::singleShot(kRequestTimeoutMs, this, [this] { finish(); });
    }
    ~RaiseConnection() override
    {
        delete notifier_;  // before its descriptor goes
        closeFd(fd_);
    }

private:
    void read()
    {
        char buffer[kMaxRequestLine + 1];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            finish();
            return;
        }
        line_.append(buffer, qsizetype(n));
        const qsizetype end = line_.indexOf('\n');
        if (end < 0) {
            if (line_.size() > kMaxRequestLine)
                finish();
            return;
        }
        if (line_.left(end + 1) != "raise\n") {
            finish();
            return;
        }
        // Answered and closed before the raise: a slot that runs a modal loop must not make
        // the asking process give up waiting. Three bytes always fit a fresh socket's buffer.
        (void)::send(fd_, "ok\n", 3, MSG_NOSIGNAL);
        finish();
        emit server_->raiseRequested();
    }

    void finish()
    {
        notifier_->setEnabled(false);
        closeFd(fd_);
        deleteLater();
    }

    int fd_;
    WindowRaiseServer* server_;
    QSocketNotifier* notifier_ = nullptr;
    QByteArray line_;
};

}  // namespace

WindowRaiseServer::WindowRaiseServer(QObject* parent) : QObject(parent) {}

WindowRaiseServer::~WindowRaiseServer()
{
    close();
}

void WindowRaiseServer::close()
{
    delete acceptNotifier_;
    acceptNotifier_ = nullptr;
    closeFd(listenFd_);
    if (!path_.isEmpty())
        ::unlink(path_.constData());
    path_.clear();
    token_ = 0;
}

quint32 WindowRaiseServer::listen(const QString& name, QString* error)
{
    close();

    quint32 token = 0;
    while (token == 0)
        token = QRandomGenerator::system()->generate();
    const QString path = windowRaiseSocketPath(name, token, error);
    if (path.isEmpty())
        return 0;
    const QByteArray file = QFile::encodeName(path);
    auto fail = [&](const QString& reason) {
        setError(error, QStringLiteral("Unable to listen on %1: %2").arg(path, reason));
        return 0u;
    };
    sockaddr_un address;
    if (!socketAddress(file, address))
        return fail(QStringLiteral("the path is too long for a socket"));
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(systemReason(errno));
    ::unlink(file.constData());  // what an owner that was killed left behind
    // Only this user may ask; nobody can connect before listen().
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(file.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        const int code = errno;
        closeFd(fd);
        ::unlink(file.constData());
        return fail(systemReason(code));
    }
    listenFd_ = fd;
    path_ = file;
    acceptNotifier_ = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(acceptNotifier_, &QSocketNotifier::activated, this, [this] {
        for (;;) {
            const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (client >= 0) {
                new RaiseConnection(client, this);
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            // Out of descriptors: the waiting connection would wake the loop at once
            // again, so it is left until some are free.
            acceptNotifier_->setEnabled(false);
            QTimer::singleShot(100, acceptNotifier_, [notifier = acceptNotifier_] { notifier->setEnabled(true); });
            return;
        }
    });
    token_ = token;
    return token;
}

quint32 WindowRaiseServer::token() const
{
    return token_;
}

bool requestWindowRaise(const QString& name, quint32 token, int timeoutMs, QString* error)
{
    if (token == 0) {
        setError(error, QStringLiteral("Unable to raise the window \"%1\": its owner published no token").arg(name));
        return false;
    }
    const QString path = windowRaiseSocketPath(name, token, error);
    if (path.isEmpty())
        return false;
    const QDeadlineTimer deadline = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    auto fail = [&](const QString& reason) {
        setError(error, QStringLiteral("Unable to raise the window through %1: %2").arg(path, reason));
        return false;
    };
    auto timedOut = [&] { return fail(QStringLiteral("no answer within %1 ms").arg(timeoutMs)); };
    sockaddr_un address;
    if (!socketAddress(QFile::encodeName(path), address))
        return fail(QStringLiteral("the path is too long for a socket"));
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(systemReason(errno));
    struct Close {
        int& fd;
        ~Close() { closeFd(fd); }
    } closeOnReturn{fd};
    // Waits until the socket is ready for `events`; false once the deadline passed.
    auto wait = [&](short events) {
        for (;;) {
            pollfd p{fd, events, 0};
            const int rc = ::poll(&p, 1, deadline.isForever() ? -1 : int(deadline.remainingTime()));
            if (rc > 0)
                return true;
            if (rc == 0 || errno != EINTR)
                return false;
        }
    };

    // A full backlog makes a local connect fail at once; it is tried again until the
    // deadline, as the owner may only be slow to accept.
    while (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return fail(systemReason(errno));
        if (deadline.hasExpired())
            return timedOut();
        ::poll(nullptr, 0, 10);
    }
    static const char kRequest[] = "raise\n";
    for (size_t sent = 0; sent < sizeof kRequest - 1;) {
        const ssize_t n = ::send(fd, kRequest + sent, sizeof kRequest - 1 - sent, MSG_NOSIGNAL);
        if (n >= 0)
            sent += size_t(n);
        else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!wait(POLLOUT))
                return timedOut();
        } else if (errno != EINTR)
            return fail(systemReason(errno));
    }
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (answer.size() > kMaxRequestLine)
            return fail(QStringLiteral("the answer is not one of ours"));
        char buffer[kMaxRequestLine + 1];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0)
            answer.append(buffer, qsizetype(n));
        else if (n == 0)
            return fail(QStringLiteral("the owner closed the connection without answering"));
        else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!wait(POLLIN))
                return timedOut();
        } else if (errno != EINTR)
            return fail(systemReason(errno));
    }
    if (answer != "ok\n")
        return fail(QStringLiteral("the answer is not one of ours"));
    return true;
}

}  // namespace platform
