#include "regengine/core/Dumper.h"
#include "regengine/core/ModalWait.h"
#include "regengine/transport/SerialDevice.h"

#include "platform/serial/SerialPort.h"

#include "tests/regengine/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <poll.h>

using namespace engine;
using transporttest::Lines;
using transporttest::Pty;
using transporttest::StepClock;

namespace {

struct OpenDevice {
    OpenDevice() : device(pty.path)
    {
        device.SetClock(&clock);
        opened = device.Open();
    }
    Pty pty;
    StepClock clock;
    SerialDevice device;
    int opened = -1;
};

// The step clock, whose every sleep also waits for the line to have input again.
class LineFedClock final : public engine::Clock {
public:
    LineFedClock(const StepClock& time, const Pty& pty) : time_(time), pty_(pty) {}
    qint64 MonotonicMs() const override { return time_.MonotonicMs(); }
    qint64 CurrentTime() const override { return time_.CurrentTime(); }
    void SleepMs(qint64 ms) const override
    {
        time_.SleepMs(ms);
        pty_.waitForInput();
    }

private:
    const StepClock& time_;
    const Pty& pty_;
};

TEST(CommDevice, WaitForStringFindsTextsThatOverlapThemselves)
{
    struct Case {
        const char* input;
        const char* text;
        int result;
    };
    for (const Case& c : {Case{"CCONNECT 9600", "CONNECT", 0}, Case{"ABABAC", "ABAC", 0},
                          Case{"xxABAABABACyy", "ABABAC", 0}, Case{"\r\nOK\r\n", "OK", 0},
                          Case{"CONNEC", "CONNECT", CommDevice::kTimedOut}, Case{"", "OK", CommDevice::kTimedOut}}) {
        OpenDevice d;
        ASSERT_EQ(d.opened, 0);
        d.pty.write(c.input);
        ASSERT_TRUE(d.pty.waitForInput(int(std::strlen(c.input))));
        EXPECT_EQ(d.device.WaitForString(c.text, 300, 0), c.result) << c.input << " / " << c.text;
    }
}

TEST(CommDevice, ReadFullyEndsAShortReadWithAZeroByte)
{
    OpenDevice d;
    ASSERT_EQ(d.opened, 0);
    d.pty.write("abc");
    ASSERT_TRUE(d.pty.waitForInput(3));
    char buffer[11];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(d.device.ReadFully(buffer, 10, 3), 3);
    EXPECT_EQ(QByteArray(buffer), "abc");

    d.pty.write("0123456789tail");
    ASSERT_TRUE(d.pty.waitForInput(14));
    EXPECT_EQ(d.device.ReadFully(buffer, 10, 3), 10);
    EXPECT_EQ(QByteArray(buffer, 10), "0123456789");
    EXPECT_EQ(d.device.ComInMin(buffer, 4, 3), 4);
    EXPECT_EQ(QByteArray(buffer, 4), "tail");
    EXPECT_EQ(d.device.ReadSome(buffer, 4, 3), CommDevice::kTimedOut);
}

TEST(CommDevice, FlushKeepsTheTimeOutValueAndEndsUnderEndlessInput)
{
    OpenDevice d;
    ASSERT_EQ(d.opened, 0);
    d.device.SetTimeout(500);
    ASSERT_EQ(d.device.GetTimeoutValue(), 300);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(d.device.FlushInput(10, 0), 0);
    EXPECT_EQ(d.device.GetTimeoutValue(), 300);

    // A peer that never pauses: a flush without a limit still ends, and one with a limit
    // ends at the limit. The peer keeps the line full until told to stop, and every wait of
    // the device lasts until the line has input again, so the flush never meets a quiet line
    // however the machine schedules the peer.
    std::atomic<bool> stop{false};
    std::thread noise([&] {
        const QByteArray block(1024, 'n');
        while (!stop) {
            pollfd room{d.pty.master, POLLOUT, 0};
            if (::poll(&room, 1, 50) > 0)
                d.pty.write(block);
        }
    });
    const LineFedClock fed(d.clock, d.pty);
    d.device.SetClock(&fed);
    for (const int limit : {0, 200}) {
        EXPECT_TRUE(d.pty.waitForInput());
        const qint64 start = d.clock.MonotonicMs();
        EXPECT_EQ(d.device.FlushInput(10, limit), CommDevice::kTimedOut) << limit;
        const qint64 spent = d.clock.MonotonicMs() - start;
        EXPECT_GE(spent, limit * 10) << limit;
        EXPECT_LE(spent, 31000) << limit;
    }
    stop = true;
    noise.join();
    d.device.SetClock(&d.clock);
    EXPECT_EQ(d.device.GetTimeoutValue(), 300);
}

TEST(CommDevice, TheAbortFlagAndTheUsersCancelEndEveryWait)
{
    OpenDevice d;
    ASSERT_EQ(d.opened, 0);
    char buffer[8];
    d.device.SetAbortFlag();
    EXPECT_EQ(d.device.ReadSome(buffer, 8, 5), CommDevice::kAborted);
    EXPECT_EQ(d.device.ReadFully(buffer, 8, 5), CommDevice::kAborted);
    EXPECT_EQ(d.device.WaitForString("OK", 100, 0), CommDevice::kAborted);
    d.device.ClearError();
    EXPECT_FALSE(d.device.GetAbortFlag());

    // The status dialog's Cancel sets the global flag; the next idle read sees it.
    SetCancelFlag(1);
    EXPECT_EQ(d.device.WaitForString("OK", 100000, 0), CommDevice::kAborted);
    EXPECT_TRUE(d.device.GetAbortFlag());
    SetCancelFlag(0);
}

TEST(CommDevice, AHungUpLineAbortsInsteadOfTimingOut)
{
    OpenDevice d;
    ASSERT_EQ(d.opened, 0);
    d.pty.closeMaster();
    char buffer[8];
    EXPECT_EQ(d.device.ReadSome(buffer, 8, 1000), CommDevice::kFailed);
    EXPECT_TRUE(d.device.GetAbortFlag());
    d.device.ClearError();
    EXPECT_EQ(d.device.WaitForString("OK", 100000, 0), CommDevice::kAborted);
    d.device.ClearError();
    EXPECT_EQ(d.device.Send("AT\r", 3), CommDevice::kFailed);
}

TEST(CommDevice, TheDumperSeesTrafficButNeverASecret)
{
    OpenDevice d;
    ASSERT_EQ(d.opened, 0);
    Lines dump;
    Dumper dumper;
    dumper.Attach(&dump);
    d.device.SetDumper(&dumper);
    ASSERT_EQ(d.device.Send("ATDT5551234\r", 12), 0);
    ASSERT_EQ(d.device.SendSecret("hunter2\r", 8), 0);
    EXPECT_EQ(d.pty.readAll(), "ATDT5551234\rhunter2\r");
    d.pty.write("OK");
    ASSERT_TRUE(d.pty.waitForInput(2));
    char buffer[3];
    EXPECT_EQ(d.device.ReadFully(buffer, 2, 3), 2);
    EXPECT_TRUE(dump.text.contains(QStringLiteral("Sent 12  @ 0")));
    EXPECT_TRUE(dump.text.contains(QStringLiteral("Sent 8  @ 0")));
    EXPECT_TRUE(dump.text.contains(QStringLiteral("Rcvd 2  @ 0")));
    EXPECT_TRUE(dump.text.contains(QStringLiteral("ATDT5")));
    EXPECT_FALSE(dump.text.contains(QStringLiteral("hunt"))) << qPrintable(dump.text);
    EXPECT_TRUE(dump.text.contains(QStringLiteral("*****")));
}

TEST(CommDevice, AnIndirectSecretIsSentUnscrambledButNeverShown)
{
    OpenDevice d;
    ASSERT_EQ(d.opened, 0);
    Lines dump;
    Lines trace;
    Dumper dumper;
    dumper.Attach(&dump);
    d.device.SetDumper(&dumper);
    d.device.SetTraceDisplayer(&trace);
    EXPECT_EQ(d.device.SendIndirectString(803, 1, ' ', false), 0);
    EXPECT_EQ(d.device.SendIndirectString(803, 2, '\r', true), 0);
    EXPECT_EQ(d.device.SendIndirectString(803, 30, 0, false), 0);
    // Past the last line the lookup gives the last one.
    EXPECT_EQ(d.pty.readAll(), "NUI a0100aaa\rWELCOME");
    EXPECT_TRUE(trace.text.contains(QStringLiteral("Got the indirect string (803,1)=NUI of len 3")));
    EXPECT_TRUE(trace.text.contains(QStringLiteral("Got the indirect string (803,2)=******** of len 8")));
    for (const QString& secret : {QStringLiteral("a0100"), QStringLiteral("*U]F_")}) {
        EXPECT_FALSE(dump.text.contains(secret)) << qPrintable(dump.text);
        EXPECT_FALSE(trace.text.contains(secret)) << qPrintable(trace.text);
    }
    EXPECT_TRUE(dump.text.contains(QStringLiteral("NUI")));
}

TEST(CommDevice, SettingsKeepTheirBounds)
{
    SerialDevice device;
    EXPECT_EQ(device.GetBufferSize(), 1024);
    const std::string longText(300, 'x');
    device.SetInitString(longText.c_str());
    EXPECT_EQ(std::strlen(device.GetInitString()), 255u);
    device.SetInitString(nullptr);
    EXPECT_EQ(std::strlen(device.GetInitString()), 255u);
    EXPECT_EQ(device.SetTimeout(100), 0);
    EXPECT_EQ(device.SetTimeout(7), 60);
    EXPECT_EQ(device.GetTimeoutValue(), 4);
    // No port: a send goes nowhere and the port's checks fail.
    EXPECT_EQ(device.Send("x", 1), 0);
    EXPECT_EQ(device.SetTimeouts(), CommDevice::kFailed);
    // An empty name opens "COM1:", the machine's first built-in line, which a test must
    // not touch; the name's meaning is the serial layer's test.
    EXPECT_EQ(device.SetPortName(QString()), 0);
}

TEST(CommDevice, ALentPortIsClosedByItsOwnerAlone)
{
    Pty pty;
    std::shared_ptr<platform::SerialPort> port = platform::SerialPort::create();
    ASSERT_TRUE(port->open(pty.path));
    {
        SerialDevice device;
        device.AttachPort(port, false);
        EXPECT_EQ(device.SetTimeouts(), 0);
        EXPECT_EQ(device.Close(), 0);
        EXPECT_TRUE(port->isOpen());
        device.AttachPort(port, false);
    }
    EXPECT_TRUE(port->isOpen());

    // The owner closes it while the device still holds it: the device lets go, and the
    // descriptor number, which another open may reuse, is never closed a second time.
    SerialDevice device;
    device.AttachPort(port, false);
    port->close();
    EXPECT_EQ(device.BytesWaiting(), 0);
    EXPECT_FALSE(device.HasPort());

    auto own = std::shared_ptr<platform::SerialPort>(platform::SerialPort::create());
    ASSERT_TRUE(own->open(pty.path));
    device.AttachPort(own, true);
    device.Close();
    EXPECT_FALSE(own->isOpen());
}

// A port that does not open is shown, in echo mode, and traced with the serial layer's
// words: which port and why.
TEST(SerialDevice, AFailedOpenShowsWhichPortAndWhy)
{
    const struct {
        const char* port;
        const char* message;
    } cases[] = {
        {"/nonexistent/ttyS99", "Unable to open serial port /nonexistent/ttyS99: No such file or directory\r\n"},
        {"/dev/null", "Not a serial port: /dev/null: Inappropriate ioctl for device\r\n"},
    };
    for (const auto& c : cases) {
        SerialDevice device(QString::fromLatin1(c.port));
        Lines status;
        Lines trace;
        device.SetStatusDisplayer(&status);
        device.SetTraceDisplayer(&trace);
        device.SetEchoMode(1);
        EXPECT_EQ(device.Open(), CommDevice::kFailed) << c.port;
        EXPECT_EQ(status.text, QString::fromLatin1(c.message));
        EXPECT_TRUE(trace.text.contains(QString::fromLatin1(c.message))) << qPrintable(trace.text);
        EXPECT_FALSE(device.HasPort());
    }
}

TEST(SerialDevice, DumpsTheLineStatusInFiveLines)
{
    OpenDevice d;
    ASSERT_EQ(d.opened, 0);
    d.device.SetBaudIndex(3);
    Lines lines;
    d.device.DumpStatus(&lines);
    EXPECT_EQ(lines.text.count(QStringLiteral("\r\n")), 5);
    EXPECT_TRUE(lines.text.startsWith(QStringLiteral("CTS 0  DSR 0   Ring 0   RcvLine 0\r\nBaud  9600 \r\n")))
        << qPrintable(lines.text);
}

}  // namespace
