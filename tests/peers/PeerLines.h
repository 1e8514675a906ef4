#pragma once

// How the peer programs talk with the test that started them: a line each on standard
// output, flushed at once since the test waits for it; commands a line each on standard
// input, whose end (the test letting go) ends the peer.

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QSocketNotifier>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace peerlines {

inline void say(const QByteArray& line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Hands each line that arrives on standard input, split into words, to `command`, and
// quits the application when the input closes.
class Commands {
public:
    explicit Commands(std::function<void(const QList<QByteArray>&)> command)
        : input_(STDIN_FILENO, QSocketNotifier::Read), command_(std::move(command))
    {
        QObject::connect(&input_, &QSocketNotifier::activated, [this] { read(); });
    }

private:
    void read()
    {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending_.append(buffer, n);
        for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
            const QList<QByteArray> words = pending_.left(end).trimmed().split(' ');
            pending_.remove(0, end + 1);
            command_(words);
        }
    }

    QSocketNotifier input_;
    std::function<void(const QList<QByteArray>&)> command_;
    QByteArray pending_;
};

}  // namespace peerlines
