#include "platform/serial/TermiosSerialPort.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

struct Rate {
    qint32 rate;
    speed_t code;
};
constexpr Rate kRates[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                           {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};

qint32 rateOf(speed_t code)
{
    for (const Rate& r : kRates) {
        if (r.code == code)
            return r.rate;
    }
    return 0;
}

void setError(QString* error, const QString& text)
{
    if (error != nullptr)
        *error = text;
}

// False, with `what` and the system's reason for the call that just failed in `*error`.
bool fail(QString* error, const QString& what)
{
    const int code = errno;
    setError(error, what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code)));
    return false;
}

}  // namespace

TermiosSerialPort::~TermiosSerialPort()
{
    close();
}

bool TermiosSerialPort::notOpen(QString* error) const
{
    setError(error, path_.isEmpty() ? QStringLiteral("Serial port is not open")
                                    : QStringLiteral("Serial port %1 is not open").arg(path_));
    return false;
}

bool TermiosSerialPort::open(const QString& path, QString* error)
{
    close();
    path_ = path;
    const QString device = serialDevicePath(path);
    // "COM1:" is named with the device it stands for.
    const QString shown = device == path ? path : QStringLiteral("%1 (%2)").arg(path, device);
    const QByteArray name = QFile::encodeName(device);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(error, QStringLiteral("Unable to open serial port %1").arg(shown));
    // flock holds even against root, whom TIOCEXCL lets through.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        fail(error, QStringLiteral("Unable to lock serial port %1").arg(shown));
        ::close(fd);
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        fail(error, QStringLiteral("Not a serial port: %1").arg(shown));
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | CRTSCTS | PARENB | CSIZE);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        fail(error, QStringLiteral("Unable to set up serial port %1").arg(shown));
        ::close(fd);
        return false;
    }
    fd_ = fd;
    carrierSeen_ = false;
    return true;
}

void TermiosSerialPort::close()
{
    if (fd_ < 0)
        return;
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool TermiosSerialPort::setBaudRate(qint32 rate, QString* error)
{
    if (fd_ < 0)
        return notOpen(error);
    for (const Rate& r : kRates) {
        if (r.rate != rate)
            continue;
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0)
            return fail(error, QStringLiteral("Unable to read the settings of %1").arg(path_));
        ::cfsetispeed(&tio, r.code);
        ::cfsetospeed(&tio, r.code);
        if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
            return fail(error, QStringLiteral("Unable to set the rate of %1").arg(path_));
        return true;
    }
    setError(error, QStringLiteral("Unsupported rate %1 for %2").arg(rate).arg(path_));
    return false;
}

std::optional<SerialSettings> TermiosSerialPort::settings(QString* error) const
{
    termios tio{};
    if (fd_ < 0) {
        notOpen(error);
        return std::nullopt;
    }
    if (::tcgetattr(fd_, &tio) != 0) {
        fail(error, QStringLiteral("Unable to read the settings of %1").arg(path_));
        return std::nullopt;
    }
    SerialSettings s;
    s.baudRate = rateOf(::cfgetospeed(&tio));
    s.parityCheck = (tio.c_iflag & INPCK) != 0;
    s.ctsFlow = (tio.c_cflag & CRTSCTS) != 0;
    s.dtrControl = 1;
    s.xonOut = (tio.c_iflag & IXON) != 0;
    s.xonIn = (tio.c_iflag & IXOFF) != 0;
    s.rtsControl = s.ctsFlow ? 2 : 1;
    return s;
}

qint64 TermiosSerialPort::bytesWaiting(QString* error)
{
    int count = 0;
    if (fd_ < 0) {
        notOpen(error);
        return -1;
    }
    if (::ioctl(fd_, FIONREAD, &count) != 0) {
        fail(error, QStringLiteral("Unable to ask %1 for its queued input").arg(path_));
        return -1;
    }
    return count;
}

qint64 TermiosSerialPort::read(char* buffer, qint64 max, QString* error)
{
    if (fd_ < 0) {
        notOpen(error);
        return -1;
    }
    if (max < 0) {
        setError(error, QStringLiteral("Unable to read %1 bytes from %2").arg(max).arg(path_));
        return -1;
    }
    if (max == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size_t(max));
        if (n > 0)
            return n;
        if (n < 0 && errno == EINTR)
            continue;
        // EIO is a pseudo-terminal whose master has gone; 0 with VMIN 0 is no data.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(error, QStringLiteral("Unable to read from %1").arg(path_));
            return -1;
        }
        if (!hungUp())
            return 0;
        setError(error, QStringLiteral("Line hung up while reading from %1").arg(path_));
        return -1;
    }
}

bool TermiosSerialPort::write(const char* data, qint64 length, int timeoutMs, QString* error)
{
    if (fd_ < 0)
        return notOpen(error);
    QDeadlineTimer deadline(qMax(timeoutMs, 0));
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, data + done, size_t(length - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return fail(error, QStringLiteral("Unable to write to %1").arg(path_));
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            setError(error,
                     QStringLiteral("Timed out writing to %1: %2 of %3 bytes sent").arg(path_).arg(done).arg(length));
            return false;
        }
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, int(qMin<qint64>(left, 50)));
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            setError(error, QStringLiteral("Line hung up while writing to %1").arg(path_));
            return false;
        }
    }
    return true;
}

bool TermiosSerialPort::discardInput(QString* error)
{
    if (fd_ < 0)
        return notOpen(error);
    if (::tcflush(fd_, TCIFLUSH) != 0)
        return fail(error, QStringLiteral("Unable to discard the input of %1").arg(path_));
    return true;
}

std::optional<ModemLines> TermiosSerialPort::modemLines(QString* error) const
{
    int bits = 0;
    if (fd_ < 0) {
        notOpen(error);
        return std::nullopt;
    }
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
        // A pseudo-terminal has no modem lines, which is no failure.
        if (errno != ENOTTY && errno != EINVAL)
            fail(error, QStringLiteral("Unable to read the modem lines of %1").arg(path_));
        return std::nullopt;
    }
    ModemLines lines;
    lines.cts = (bits & TIOCM_CTS) != 0;
    lines.dsr = (bits & TIOCM_DSR) != 0;
    lines.ring = (bits & TIOCM_RNG) != 0;
    lines.carrier = (bits & TIOCM_CAR) != 0;
    lines.dtr = (bits & TIOCM_DTR) != 0;
    lines.rts = (bits & TIOCM_RTS) != 0;
    return lines;
}

bool TermiosSerialPort::setDtr(bool on, QString* error)
{
    if (fd_ < 0)
        return notOpen(error);
    int bit = TIOCM_DTR;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0)
        return fail(
            error,
            (on ? QStringLiteral("Unable to raise DTR on %1") : QStringLiteral("Unable to drop DTR on %1")).arg(path_));
    return true;
}

bool TermiosSerialPort::hungUp()
{
    if (fd_ < 0)
        return true;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
    if (const auto lines = modemLines()) {
        if (lines->carrier)
            carrierSeen_ = true;
        else if (carrierSeen_)
            return true;
    }
    return false;
}

}  // namespace platform
