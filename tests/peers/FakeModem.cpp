#include "tests/peers/FakeModem.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testpeers {

namespace {

int rateOf(speed_t code)
{
    switch (code) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

QByteArray resultText(FakeModem::DialResult result, const QByteArray& connectText)
{
    switch (result) {
    case FakeModem::DialResult::Connect: return "\r\n" + connectText + "\r\n";
    case FakeModem::DialResult::Busy: return "\r\nBUSY\r\n";
    case FakeModem::DialResult::NoCarrier: return "\r\nNO CARRIER\r\n";
    case FakeModem::DialResult::NoAnswer: return "\r\nNO ANSWER\r\n";
    case FakeModem::DialResult::NoDialTone: return "\r\nNO DIALTONE\r\n";
    case FakeModem::DialResult::Error: return "\r\nERROR\r\n";
    case FakeModem::DialResult::Silence: return {};
    }
    return {};
}

}  // namespace

FakeModem::FakeModem(Options options) : options_(std::move(options))
{
    termios tio{};
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    if (::openpty(&master_, &slave_, nullptr, &tio, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    path_ = QString::fromLocal8Bit(::ttyname(slave_));
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    // The slave stays open here too: the line's rate is read through it, and the master
    // keeps working while the code under test opens and closes its side.
    thread_ = std::thread([this] { run(); });
}

FakeModem::~FakeModem()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
}

QStringList FakeModem::commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

QStringList FakeModem::dialled() const
{
    std::lock_guard lock(mutex_);
    return dialled_;
}

QByteArray FakeModem::dataReceived() const
{
    std::lock_guard lock(mutex_);
    return data_;
}

int FakeModem::currentRate() const
{
    termios tio{};
    if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0)
        return 0;
    return rateOf(::cfgetospeed(&tio));
}

void FakeModem::hangUp()
{
    hangUpWanted_ = true;
    const QDeadlineTimer deadline(5000);
    while (!hungUp_ && !deadline.hasExpired() && thread_.joinable())
        ::usleep(2000);
}

bool FakeModem::readSome(QByteArray& out, int timeoutMs)
{
    if (hungUp_)
        return false;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
        return false;
    char buffer[512];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    out.append(buffer, n);
    return true;
}

void FakeModem::writeAll(const QByteArray& bytes)
{
    qsizetype done = 0;
    const QDeadlineTimer deadline(5000);
    while (done < bytes.size() && !hungUp_ && !deadline.hasExpired()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
}

void FakeModem::run()
{
    while (!stop_) {
        if (hangUpWanted_ && !hungUp_) {
            hungUp_ = true;
            ::close(master_);
            master_ = -1;
        }
        if (hungUp_) {
            ::usleep(5000);
            continue;
        }
        QByteArray bytes;
        if (!readSome(bytes, 10)) {
            // With no slave open the master reports a hang-up at once; do not spin on it.
            ::usleep(1000);
            continue;
        }
        if (dataMode_)
            handleDataBytes(bytes);
        else
            handleCommandBytes(bytes);
    }
}

void FakeModem::handleCommandBytes(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (c == '\r') {
            handleLine(line_);
            line_.clear();
            if (dataMode_)
                return;
        } else if (c != '\n') {
            line_.append(c);
        }
    }
}

void FakeModem::handleLine(const QByteArray& line)
{
    const int rate = currentRate();
    {
        std::lock_guard lock(mutex_);
        commands_ << QStringLiteral("%1 %2").arg(rate).arg(QString::fromLatin1(line));
    }
    // A modem at another rate sees only noise.
    if (rate != options_.answerRate)
        return;
    const QByteArray upper = line.toUpper();
    const qsizetype at = upper.indexOf("AT");
    if (at < 0)
        return;
    const QByteArray body = upper.mid(at + 2);
    if (body.startsWith("+MS?")) {
        writeAll(options_.modulationText.isEmpty() ? QByteArray("\r\nERROR\r\n")
                                                   : "\r\n" + options_.modulationText + "\r\n" + options_.okText);
        return;
    }
    const qsizetype dial = body.indexOf('D');
    if (dial < 0) {
        writeAll(options_.okText);
        return;
    }
    QByteArray number = body.mid(dial + 1);
    if (number.startsWith('T') || number.startsWith('P'))
        number.remove(0, 1);
    {
        std::lock_guard lock(mutex_);
        dialled_ << QString::fromLatin1(number);
    }
    DialResult result = options_.dial;
    if (!options_.dials.empty())
        result = options_.dials[size_t(qMin<qsizetype>(dialCount_, qsizetype(options_.dials.size()) - 1))];
    ++dialCount_;
    writeAll(resultText(result, options_.connectText));
    if (result != DialResult::Connect)
        return;
    dataMode_ = true;
    dataTail_.clear();
    if (options_.service) {
        Link link(*this);
        options_.service(link);
    }
}

void FakeModem::handleDataBytes(const QByteArray& bytes)
{
    {
        std::lock_guard lock(mutex_);
        data_.append(bytes);
    }
    dataTail_.append(bytes);
    if (dataTail_.size() > 3)
        dataTail_ = dataTail_.right(3);
    if (dataTail_ == "+++") {
        dataMode_ = false;
        ++escapes_;
        dataTail_.clear();
        line_.clear();
        writeAll("\r\nOK\r\n");
    }
}

QByteArray FakeModem::Link::read(int n, int timeoutMs)
{
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (out.size() < n && !deadline.hasExpired() && !stopping()) {
        QByteArray more;
        if (modem_.master_ < 0 || modem_.hungUp_)
            break;
        pollfd p{modem_.master_, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[512];
        const ssize_t got = ::read(modem_.master_, buffer, size_t(qMin<qsizetype>(n - out.size(), sizeof buffer)));
        if (got > 0)
            out.append(buffer, got);
    }
    return out;
}

QByteArray FakeModem::Link::readPacket(int timeoutMs)
{
    QByteArray head = read(6, timeoutMs);
    if (head.size() < 6)
        return {};
    quint32 declared = 0;
    for (int i = 2; i < 6; ++i)
        declared = declared << 8 | quint8(head[i]);
    if (declared > 100000)
        return head;
    return head + read(int(declared) + 2, timeoutMs);
}

bool FakeModem::Link::readUntil(const QByteArray& text, int timeoutMs, QByteArray* got)
{
    QByteArray seen;
    const QDeadlineTimer deadline(timeoutMs);
    while (!seen.endsWith(text) && !deadline.hasExpired() && !stopping()) {
        const QByteArray byte = read(1, int(qMax<qint64>(deadline.remainingTime(), 1)));
        seen += byte;
        if (byte.isEmpty() && (modem_.master_ < 0 || modem_.hungUp_))
            break;
    }
    if (got != nullptr)
        *got = seen;
    return seen.endsWith(text);
}

void FakeModem::Link::write(const QByteArray& bytes)
{
    modem_.writeAll(bytes);
}

void FakeModem::Link::hangUp()
{
    if (modem_.hungUp_)
        return;
    modem_.hungUp_ = true;
    ::close(modem_.master_);
    modem_.master_ = -1;
}

bool FakeModem::Link::stopping() const
{
    return modem_.stop_;
}

}  // namespace testpeers
