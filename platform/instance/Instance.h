#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

// A named mutex for one user session: an flock'd lock file under the per-user runtime
// folder. The lock goes with the process, so a killed owner never blocks the next start.
class NamedMutex {
public:
    enum class Result { Created, AlreadyExists, Failed };

    NamedMutex() = default;
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Takes the mutex when nobody holds it (Created); AlreadyExists when another process
    // holds it; Failed, with `error` saying why, when the lock file cannot be made or locked.
    Result create(const QString& name, QString* error = nullptr);
    bool isOpen() const;
    void close();

private:
    int fd_ = -1;
};

// A small named block of shared memory: an mmap'd file under the per-user runtime folder.
class SharedBlock {
public:
    SharedBlock() = default;
    ~SharedBlock();
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;

    // Creates (or re-creates) the block with `size` zeroed bytes. False, with `error` saying
    // why, when it cannot.
    bool create(const QString& name, int size, QString* error = nullptr);
    // Maps an existing block; fails, with `error` saying why, when there is none or it is
    // not one of ours.
    bool open(const QString& name, QString* error = nullptr);
    bool isMapped() const;
    unsigned char* data() const;
    int size() const;
    void close();

private:
    unsigned char* data_ = nullptr;
    int size_ = 0;
};

// Stands in for a window handle that another process can bring to the front: the owner
// listens on a local socket named after a token, and another process asks it to raise.
class WindowRaiseServer : public QObject {
    Q_OBJECT
public:
    explicit WindowRaiseServer(QObject* parent = nullptr);
    ~WindowRaiseServer() override;

    // Starts listening and returns the non-zero token to publish, or 0 on failure, with
    // `error` saying why.
    quint32 listen(const QString& name, QString* error = nullptr);
    quint32 token() const;

signals:
    void raiseRequested();

private:
    void close();

    int listenFd_ = -1;
    QByteArray path_;  // the socket file, removed when the server closes
    QSocketNotifier* acceptNotifier_ = nullptr;
    quint32 token_ = 0;
};

// Asks the owner of `token` to raise its window; false, with `error` saying why, when
// nobody answers within `timeoutMs` (negative: no limit). Blocks; needs no event loop.
bool requestWindowRaise(const QString& name, quint32 token, int timeoutMs = 2000, QString* error = nullptr);

// The local socket the owner of `token` listens on; empty, with `error` saying why, when
// there is no per-user runtime folder.
QString windowRaiseSocketPath(const QString& name, quint32 token, QString* error = nullptr);

// The file-system form of a kernel object name: "Local\\x" becomes a file in the per-user
// runtime folder, with characters that cannot stand in a file name replaced. Empty, with
// `error` saying why, when there is no such folder.
QString kernelObjectPath(const QString& name, const QString& suffix, QString* error = nullptr);

}  // namespace platform
