#pragma once

#include "regengine/core/Clock.h"
#include "regengine/core/Displayer.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace transporttest {

// Time that passes only when the code under test sleeps, so long time-outs run out in a
// moment. Each sleep still lets real time go by, a `divisor`th of it (one millisecond at
// least), so that the peers' threads keep up with the code under test.
class StepClock final : public engine::Clock {
public:
    explicit StepClock(qint64 divisor = 0) : divisor_(divisor) {}
    qint64 MonotonicMs() const override { return now_; }
    qint64 CurrentTime() const override { return 1700000000 + now_ / 1000; }
    void SleepMs(qint64 ms) const override
    {
        if (ms <= 0)
            return;
        now_ += ms;
        QThread::usleep(unsigned(divisor_ > 0 ? qMax<qint64>(ms * 1000 / divisor_, 1000) : 1000));
    }
    void Advance(qint64 ms) { now_ += ms; }

private:
    qint64 divisor_;
    mutable std::atomic<qint64> now_{1000};
};

// Waits, in real time, until a peer's thread has brought about `done`; false when `timeoutMs`
// passed first. The bound is generous: it only ends a test whose peer has failed.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    for (int waited = 0; !done(); waited += 5) {
        if (waited >= timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

// A displayer that keeps what it is given.
class Lines final : public engine::Displayer {
public:
    void Clear() override { text.clear(); }
    void Append(QStringView t) override { text += t; }
    QString text;
};

// A bare pseudo-terminal whose master side the test drives itself.
struct Pty {
    Pty()
    {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(::ttyname(slave));
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    void write(const QByteArray& bytes) { (void)!::write(master, bytes.constData(), size_t(bytes.size())); }
    QByteArray readAll(int waitMs = 200)
    {
        QByteArray out;
        for (int i = 0; i < waitMs / 5; ++i) {
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                out.append(buffer, n);
                continue;
            }
            if (!out.isEmpty())
                break;
            QThread::msleep(5);
        }
        return out;
    }
    // Waits until the device's side has `bytes` to read: the kernel moves what the master
    // writes across in a worker of its own, which a busy machine may run late.
    bool waitForInput(int bytes = 1, int timeoutMs = 20000) const
    {
        for (int waited = 0; waited < timeoutMs; ++waited) {
            int n = 0;
            if (::ioctl(slave, FIONREAD, &n) == 0 && n >= bytes)
                return true;
            QThread::msleep(1);
        }
        return false;
    }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    int master = -1;
    int slave = -1;
    QString path;
};

}  // namespace transporttest
