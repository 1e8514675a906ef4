#include "platform/serial/SerialPort.h"

#include "tests/peers/FakeModem.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using platform::SerialPort;
using testpeers::FakeModem;

namespace {

// A bare pseudo-terminal whose master side the test drives itself.
struct Pty {
    Pty()
    {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0)
            path = QString::fromLocal8Bit(::ttyname(slave));
    }
    ~Pty()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
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

// The kernel moves bytes across a pseudo-terminal in a worker of its own, which a busy
// machine runs late: the waits below end on what arrived, their bound only on a failure.
constexpr int kArrivalBoundMs = 20000;

QByteArray readMaster(int fd, int want)
{
    QByteArray out;
    const QDeadlineTimer deadline(kArrivalBoundMs);
    while (out.size() < want && !deadline.hasExpired()) {
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            out.append(buffer, n);
        else
            QThread::msleep(5);
    }
    return out;
}

TEST(SerialPort, OpensARawLineForOneOwnerOnly)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    auto port = SerialPort::create();
    QString error;
    ASSERT_TRUE(port->open(pty.path, &error)) << qPrintable(error);
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.slave, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    EXPECT_NE(tio.c_cflag & CLOCAL, tcflag_t(0));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), tcflag_t(0));
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);

    // The lock holds even for root, whom TIOCEXCL lets through.
    auto second = SerialPort::create();
    EXPECT_FALSE(second->open(pty.path, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Unable to lock serial port ") + pty.path + QStringLiteral(": ")))
        << qPrintable(error);
    port->close();
    port->close();
    error.clear();
    EXPECT_TRUE(second->open(pty.path, &error)) << qPrintable(error);
    EXPECT_EQ(error, QString());
}

TEST(SerialPort, RefusesWhatIsNotASerialLine)
{
    struct Case {
        const char* path;
        const char* error;
    };
    for (const Case& c :
         {Case{"/dev/null", "Not a serial port: /dev/null: Inappropriate ioctl for device"},
          Case{"/nonexistent/ttyS99", "Unable to open serial port /nonexistent/ttyS99: No such file or directory"}}) {
        auto port = SerialPort::create();
        QString error;
        EXPECT_FALSE(port->open(QString::fromLatin1(c.path), &error)) << c.path;
        EXPECT_FALSE(port->isOpen()) << c.path;
        EXPECT_EQ(error, QString::fromLatin1(c.error)) << c.path;
    }
}

TEST(SerialPort, SetsTheStandardRatesOnly)
{
    FakeModem modem({});
    auto port = SerialPort::create();
    ASSERT_TRUE(port->open(modem.devicePath()));
    for (const int rate : {1200, 2400, 4800, 9600, 19200, 38400}) {
        EXPECT_TRUE(port->setBaudRate(rate)) << rate;
        EXPECT_EQ(modem.currentRate(), rate);
        EXPECT_EQ(port->settings()->baudRate, rate);
    }
    QString error;
    EXPECT_FALSE(port->setBaudRate(12345, &error));
    EXPECT_EQ(error, QStringLiteral("Unsupported rate 12345 for ") + modem.devicePath());
    EXPECT_EQ(modem.currentRate(), 38400);
}

TEST(SerialPort, ReadsWhatIsQueuedWithoutWaiting)
{
    Pty pty;
    auto port = SerialPort::create();
    ASSERT_TRUE(port->open(pty.path));
    char buffer[64];
    EXPECT_EQ(port->bytesWaiting(), 0);
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0);

    ASSERT_EQ(::write(pty.master, "hello\r\n", 7), 7);
    const QDeadlineTimer deadline(kArrivalBoundMs);
    while (port->bytesWaiting() < 7 && !deadline.hasExpired())
        QThread::msleep(5);
    EXPECT_EQ(port->bytesWaiting(), 7);
    EXPECT_EQ(port->read(buffer, 3), 3);
    EXPECT_EQ(QByteArray(buffer, 3), "hel");
    EXPECT_TRUE(port->discardInput());
    EXPECT_EQ(port->bytesWaiting(), 0);

    ASSERT_TRUE(port->write("AT\r", 3, 500));
    EXPECT_EQ(readMaster(pty.master, 3), "AT\r");
}

TEST(SerialPort, AWriteThatCannotFinishFails)
{
    // Nobody reads the master, so the line's buffers fill and the rest cannot go.
    Pty pty;
    auto port = SerialPort::create();
    ASSERT_TRUE(port->open(pty.path));
    const QByteArray big(1 << 20, 'x');
    QString error;
    EXPECT_FALSE(port->write(big.constData(), big.size(), 200, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Timed out writing to ") + pty.path)) << qPrintable(error);
}

TEST(SerialPort, AHangUpIsSeenByReadsWritesAndTheLineState)
{
    Pty pty;
    auto port = SerialPort::create();
    ASSERT_TRUE(port->open(pty.path));
    EXPECT_FALSE(port->hungUp());
    // A pseudo-terminal has no modem lines to watch, which is no failure; DTR cannot be
    // dropped on it, which is.
    QString error = QStringLiteral("untouched");
    EXPECT_FALSE(port->modemLines(&error).has_value());
    EXPECT_EQ(error, QStringLiteral("untouched"));
    EXPECT_FALSE(port->setDtr(false, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Unable to drop DTR on ") + pty.path + QStringLiteral(": ")))
        << qPrintable(error);

    pty.closeMaster();
    EXPECT_TRUE(port->hungUp());
    char buffer[8];
    EXPECT_EQ(port->read(buffer, sizeof buffer), -1);
    EXPECT_FALSE(port->write("x", 1, 100));
    // A gone line's lines cannot be read, which is a failure.
    error.clear();
    EXPECT_FALSE(port->modemLines(&error).has_value());
    EXPECT_TRUE(error.contains(pty.path)) << qPrintable(error);
}

// Each operation that fails says on which line, and why; one that succeeds leaves the
// message alone. A closed port is never taken for one that has no modem lines.
TEST(SerialPort, FailuresNameTheLineAndTheReason)
{
    Pty pty;
    auto port = SerialPort::create();
    ASSERT_TRUE(port->open(pty.path));
    char buffer[8];
    const struct {
        const char* name;
        std::function<bool(QString*)> run;
    } operations[] = {
        {"setBaudRate", [&](QString* e) { return port->setBaudRate(9600, e); }},
        {"settings", [&](QString* e) { return port->settings(e).has_value(); }},
        {"bytesWaiting", [&](QString* e) { return port->bytesWaiting(e) >= 0; }},
        {"read", [&](QString* e) { return port->read(buffer, sizeof buffer, e) >= 0; }},
        {"write", [&](QString* e) { return port->write("x", 1, 500, e); }},
        {"discardInput", [&](QString* e) { return port->discardInput(e); }},
    };
    for (const auto& op : operations) {
        QString error = QStringLiteral("untouched");
        EXPECT_TRUE(op.run(&error)) << op.name << ": " << qPrintable(error);
        EXPECT_EQ(error, QStringLiteral("untouched")) << op.name;
    }

    pty.closeMaster();
    for (const auto& op : operations) {
        QString error;
        EXPECT_FALSE(op.run(&error)) << op.name;
        EXPECT_TRUE(error.contains(pty.path)) << op.name << ": " << qPrintable(error);
    }

    port->close();
    const QString closed = QStringLiteral("Serial port ") + pty.path + QStringLiteral(" is not open");
    for (const auto& op : operations) {
        QString error;
        EXPECT_FALSE(op.run(&error)) << op.name;
        EXPECT_EQ(error, closed) << op.name;
    }
    QString error;
    EXPECT_FALSE(port->modemLines(&error).has_value());
    EXPECT_EQ(error, closed);
    error.clear();
    EXPECT_FALSE(port->setDtr(true, &error));
    EXPECT_EQ(error, closed);
    EXPECT_FALSE(SerialPort::create()->settings(&error).has_value());
    EXPECT_EQ(error, QStringLiteral("Serial port is not open"));
}

}  // namespace

TEST(SerialPort, DosPortNamesAreTheBuiltInLines)
{
    const struct {
        const char* name;
        const char* path;
    } cases[] = {{"COM1:", "/dev/ttyS0"},
                 {"com2", "/dev/ttyS1"},
                 {"COM10:", "/dev/ttyS9"},
                 {"COM0:", "COM0:"},
                 {"COM1x", "COM1x"},
                 {"/dev/ttyUSB0", "/dev/ttyUSB0"},
                 {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(platform::serialDevicePath(QString::fromLatin1(c.name)), QString::fromLatin1(c.path)) << c.name;
    EXPECT_EQ(platform::serialDevicePath(QStringLiteral("COM3:"), QStringLiteral("/tmp/dev")),
              QStringLiteral("/tmp/dev/ttyS2"));
}
