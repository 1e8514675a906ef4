#include "platform/instance/Instance.h"

#include "platform/shell/Shell.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
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

WindowRaiseServer::WindowRaiseServer(QObject* parent) : QObject(parent) {}

// QLocalServer removes its socket file when it closes.
WindowRaiseServer::~WindowRaiseServer() = default;

quint32 WindowRaiseServer::listen(const QString& name, QString* error)
{
    delete server_;
    server_ = nullptr;
    token_ = 0;

    quint32 token = 0;
    while (token == 0)
        token = QRandomGenerator::system()->generate();
    const QString path = windowRaiseSocketPath(name, token, error);
    if (path.isEmpty())
        return 0;

    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    if (!server->listen(path)) {
        setError(error, QStringLiteral("Unable to listen on %1: %2").arg(path, server->errorString()));
        delete server;
        return 0;
    }
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(kRequestTimeoutMs, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            auto onRead = [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > kMaxRequestLine) {
                        socket->abort();
                        socket->deleteLater();
                    }
                    return;
                }
                const QByteArray line = socket->readLine(kMaxRequestLine + 1);
                if (line != "raise\n") {
                    socket->abort();
                    socket->deleteLater();
                    return;
                }
                // Answer before raising: a slot that runs a modal loop must not make the
                // asking process give up waiting.
                socket->write("ok\n");
                socket->flush();
                QPointer<QLocalSocket> guard(socket);
                emit raiseRequested();
                if (guard)
                    guard->disconnectFromServer();
            };
            connect(socket, &QLocalSocket::readyRead, socket, onRead);
            if (socket->bytesAvailable() > 0)
                onRead();
        }
    });
    server_ = server;
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
    QLocalSocket socket;
    auto fail = [&](const QString& reason) {
        setError(error, QStringLiteral("Unable to raise the window through %1: %2").arg(path, reason));
        return false;
    };
    auto socketFailure = [&] {
        if (deadline.hasExpired() || socket.error() == QLocalSocket::SocketTimeoutError)
            return fail(QStringLiteral("no answer within %1 ms").arg(timeoutMs));
        return fail(socket.errorString());
    };
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return socketFailure();
    socket.write("raise\n");
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(int(deadline.remainingTime())))
            return socketFailure();
    }
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() > kMaxRequestLine)
            return fail(QStringLiteral("the answer is not one of ours"));
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return socketFailure();
    }
    if (socket.readLine(kMaxRequestLine + 1) != "ok\n")
        return fail(QStringLiteral("the answer is not one of ours"));
    return true;
}

}  // namespace platform
