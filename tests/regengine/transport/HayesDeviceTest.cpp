#include "regengine/transport/TapiHayes.h"

#include "platform/serial/SerialPort.h"
#include "platform/telephony/HayesTelephony.h"

#include "tests/peers/FakeModem.h"
#include "tests/peers/ModemService.h"
#include "tests/regengine/transport/TransportTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstring>

using namespace engine;
using testpeers::FakeModem;
using testpeers::telephonyFor;
using transporttest::Lines;
using transporttest::Pty;
using transporttest::StepClock;
using transporttest::waitUntil;

namespace {

// Four times faster than real time, so resets and hunts take a moment while the modem
// still has a tenth of a second to answer each command.
StepClock g_fast(4);

// A Hayes device on the fake modem's port, opened directly rather than dialled.
struct DirectModem {
    explicit DirectModem(FakeModem::Options options) : modem(std::move(options)), device(modem.devicePath())
    {
        device.SetClock(&g_fast);
        device.SetStatusDisplayer(&status);
        opened = device.SerialDevice::Open();
    }
    // The rates at which a command ending in `suffix` reached the modem.
    QStringList ratesOf(const QString& suffix) const
    {
        QStringList rates;
        for (const QString& line : modem.commands()) {
            if (line.endsWith(suffix))
                rates << line.section(u' ', 0, 0);
        }
        return rates;
    }
    FakeModem modem;
    Lines status;
    HayesDevice device;
    int opened = -1;
};

TEST(HayesDevice, MatchesResultCodesFromTheLastRowUp)
{
    HayesDevice device;
    struct Case {
        const char* response;
        int code;
        int row;
    };
    for (const Case& c :
         {Case{"\r\nCONNECT 9600\r\n", 99, 1}, Case{"\r\nOK\r\n\r\nRING\r\n", 2, 3}, Case{"\r\nOK\r\n", 0, 0},
          Case{"\r0\r", 0, 0}, Case{"\r\nNO DIALTONE\r\n", 6, 8}, Case{"\r\nRRING\r\n", 52, 14}, Case{"JUNK", 0, 11},
          Case{"\r7\r", 7, 9}, Case{"line noise", -1, -1}, Case{"", -1, -1}}) {
        int row = 99;
        EXPECT_EQ(device.MatchResponse(c.response, &row), c.code) << c.response;
        EXPECT_EQ(row, c.row) << c.response;
    }
    int row = 0;
    EXPECT_EQ(device.MatchResponse(nullptr, &row), -1);
}

TEST(HayesDevice, ComposesCommandLinesInItsMode)
{
    struct Case {
        qint32 mode;
        const char* command;
        const char* line;
    };
    for (const Case& c : {Case{'H', "Z", "ATE0Q0Z\r"}, Case{'T', "Z", "AATE0Q0Z\r"}, Case{'X', "H0", "AATE0Q0H0\r"},
                          Case{'H', "DT5551234", "ATE0Q0DT5551234\r"}}) {
        Pty pty;
        HayesDevice device(pty.path);
        ASSERT_EQ(device.SerialDevice::Open(), 0);
        device.SetCommandMode(c.mode);
        EXPECT_EQ(device.SendCommand(c.command), 0);
        EXPECT_EQ(pty.readAll(), QByteArray(c.line)) << c.line;
        EXPECT_EQ(device.Settings().modeLetter, c.mode == 'H' ? 'H' : 'T');
        device.ReleasePort();
    }
    // A command longer than the line buffer is cut, not written past it.
    Pty pty;
    HayesDevice device(pty.path);
    ASSERT_EQ(device.SerialDevice::Open(), 0);
    const std::string longCommand(300, '1');
    EXPECT_EQ(device.SendCommand(longCommand.c_str()), 0);
    EXPECT_EQ(pty.readAll().size(), 99);
    device.ReleasePort();
}

TEST(HayesDevice, HuntsTheRateInItsOrder)
{
    DirectModem d(FakeModem::at(19200));
    ASSERT_EQ(d.opened, 0);
    EXPECT_EQ(d.device.Synchronize(), 0);
    EXPECT_EQ(d.ratesOf(QStringLiteral("ATE0Q0E0")), QStringList({QStringLiteral("2400"), QStringLiteral("19200")}));
    EXPECT_EQ(d.device.Settings().rememberedBaud, 4);
    EXPECT_EQ(d.device.Settings().flags[HayesDevice::kSynchronisedFlag], 1);
}

TEST(HayesDevice, AModemThatNeverAnswersIsHuntedOverEveryPass)
{
    DirectModem d(FakeModem::at(57600));
    ASSERT_EQ(d.opened, 0);
    d.device.Settings().pause = 1;
    EXPECT_EQ(d.device.Synchronize(), CommDevice::kFailed);
    const QStringList pass0 = {"2400", "19200", "9600", "2400", "1200", "4800"};
    const QStringList pass1 = {"19200", "9600", "2400", "1200", "4800"};
    EXPECT_EQ(d.ratesOf(QStringLiteral("ATE0Q0E0")), pass0 + pass1 + pass0);
    // From the third pass on, each try first escapes and hangs up.
    EXPECT_EQ(d.ratesOf(QStringLiteral("ATE0Q0H0")).size(), 6);
    EXPECT_EQ(d.device.Settings().flags[HayesDevice::kSynchronisedFlag], 0);
}

TEST(HayesDevice, ResetFindsTheRateAndResetsOnce)
{
    DirectModem d(FakeModem::at(9600));
    ASSERT_EQ(d.opened, 0);
    // Clearing the error of a modem without a call resets it: once, not recursively.
    EXPECT_EQ(d.device.ClearError(), 0);
    EXPECT_EQ(d.status.text, QStringLiteral("Resetting Modem\r\nOK after reset\r\n"));
    EXPECT_EQ(d.ratesOf(QStringLiteral("ATE0Q0Z")), QStringList{QStringLiteral("9600")});
    EXPECT_EQ(d.ratesOf(QStringLiteral("ATE0Q0E0")).last(), QStringLiteral("9600"));

    // A baud index given to Reset is tried first.
    DirectModem e(FakeModem::at(1200));
    ASSERT_EQ(e.opened, 0);
    EXPECT_EQ(e.device.Reset(0), 0);
    const QStringList rates = e.ratesOf(QStringLiteral("ATE0Q0E0"));
    EXPECT_EQ(rates.last(), QStringLiteral("1200"));
    EXPECT_EQ(e.ratesOf(QStringLiteral("ATE0Q0E0")).count(QStringLiteral("1200")), 2);
}

TEST(HayesDevice, SwitchesAutoAnswerOffWhenItGoes)
{
    FakeModem modem(FakeModem::at(2400));
    {
        HayesDevice device(modem.devicePath());
        ASSERT_EQ(device.SerialDevice::Open(), 0);
    }
    ASSERT_TRUE(waitUntil([&] { return !modem.commands().isEmpty(); }));
    EXPECT_EQ(modem.commands(), QStringList{QStringLiteral("38400 ATE0Q0S0=0")});
}

TEST(HayesDevice, AResponseThatFillsTheBufferStaysATerminatedText)
{
    FakeModem::Options options = FakeModem::at(2400);
    options.okText = "\r\nOK\r\n" + QByteArray(94, 'x');
    DirectModem d(options);
    ASSERT_EQ(d.opened, 0);
    SerialDevice& line = d.device;
    line.SetBaudIndex(1);
    d.device.SendCommand("E0");
    const char* response = d.device.ReadResponse();
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(std::strlen(response), 99u);
    EXPECT_EQ(d.device.MatchResponse(response, nullptr), 0);
}

TEST(TapiHayes, DialsAndHangsUpWithoutResettingTheConnectedModem)
{
    FakeModem modem(FakeModem::at(2400));
    platform::HayesTelephony telephony(telephonyFor(modem));
    Lines status;
    TapiHayes device(QString(), &telephony);
    device.SetStatusDisplayer(&status);
    ASSERT_TRUE(device.Dial("555-0100"));
    EXPECT_EQ(device.GetStatusWord(), 1);
    EXPECT_EQ(modem.dialled(), QStringList{QStringLiteral("5550100")});
    const int commandsBefore = int(modem.commands().size());

    // The packet exchange clears the error of its connected device: no reset may follow.
    device.SetAbortFlag();
    EXPECT_EQ(device.ClearError(), 0);
    EXPECT_FALSE(device.GetAbortFlag());
    ASSERT_EQ(device.Send("data", 4), 0);
    ASSERT_TRUE(waitUntil([&] { return modem.dataReceived() == "data"; }));
    EXPECT_FALSE(status.text.contains(QStringLiteral("Resetting")));
    EXPECT_EQ(modem.escapes(), 0);
    EXPECT_EQ(int(modem.commands().size()), commandsBefore);
    EXPECT_TRUE(modem.inDataMode());
    EXPECT_EQ(modem.dataReceived(), "data");

    EXPECT_EQ(device.HangUp(), 0);
    EXPECT_FALSE(device.HasPort());
    EXPECT_EQ(device.GetStatusWord(), 0);
    ASSERT_TRUE(waitUntil([&] { return modem.commands().last().endsWith(QStringLiteral("ATH0")); }));
    EXPECT_EQ(modem.escapes(), 1);
}

// Telephony whose connected calls hand out a line that is already gone, as when the modem
// is pulled out the moment it connects.
class LostLineTelephony final : public platform::Telephony {
public:
    explicit LostLineTelephony(platform::HayesTelephonyOptions options) : inner_(std::move(options)) {}
    qint32 initialize(const QString& n, platform::LineCallback cb, quint32* c) override
    {
        return inner_.initialize(n, cb, c);
    }
    qint32 negotiateApiVersion(quint32 d, quint32 l, quint32 h, quint32* v, QString* e) override
    {
        return inner_.negotiateApiVersion(d, l, h, v, e);
    }
    qint32 getDevCaps(quint32 d, quint32 v, platform::LineCaps* c, QString* e) override
    {
        return inner_.getDevCaps(d, v, c, e);
    }
    qint32 openLine(quint32 d, quint32 v, quintptr i, quint32 m, quint32* l, QString* e) override
    {
        return inner_.openLine(d, v, i, m, l, e);
    }
    qint32 lineDeviceId(quint32 l, quint32* d, QString* e) override { return inner_.lineDeviceId(l, d, e); }
    qint32 translateAddress(quint32 d, quint32 v, const QString& n, QString* o, QString* e) override
    {
        return inner_.translateAddress(d, v, n, o, e);
    }
    qint32 makeCall(quint32 l, quint32* c, const QString& n, QString* e) override
    {
        return inner_.makeCall(l, c, n, e);
    }
    qint32 getCallState(quint32 c, quint32* s, QString* e) override { return inner_.getCallState(c, s, e); }
    qint32 drop(quint32 c, QString* e) override { return inner_.drop(c, e); }
    qint32 deallocateCall(quint32 c, QString* e) override { return inner_.deallocateCall(c, e); }
    std::shared_ptr<platform::SerialPort> callPort(quint32 c) override
    {
        auto port = inner_.callPort(c);
        if (port)
            port->close();
        return port;
    }
    qint32 closeLine(quint32 l, QString* e) override { return inner_.closeLine(l, e); }
    qint32 shutdown() override { return inner_.shutdown(); }

private:
    platform::HayesTelephony inner_;
};

TEST(TapiHayes, ADialOnAnInvalidUnitFails)
{
    FakeModem modem(FakeModem::at(2400));
    LostLineTelephony telephony(telephonyFor(modem));
    TapiHayes device(QString(), &telephony);
    Lines trace;
    device.SetTraceDisplayer(&trace);
    EXPECT_FALSE(device.Dial("5550100"));
    EXPECT_EQ(device.GetStatusWord(), 0);
    EXPECT_TRUE(trace.text.contains(QStringLiteral("Unit NOT Valid")));
    EXPECT_FALSE(device.HasPort());
}

}  // namespace
