#include "platform/serial/SerialPort.h"
#include "platform/telephony/HayesTelephony.h"
#include "platform/telephony/ModemList.h"
#include "platform/ui/Ui.h"

#include "tests/peers/FakeModem.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>

#include <functional>

using namespace platform;
using testpeers::FakeModem;

namespace {

QString fixtureTty()
{
    return testsupport::sourceDir() + QStringLiteral("/tests/fixtures/sysfs/class/tty");
}

TEST(ModemList, ListsLinesWithADriverButNotTheConsolesOrAbsentUarts)
{
    const QList<ModemDevice> modems =
        listModems(fixtureTty(), QStringLiteral("/dev"), {QStringLiteral("/dev/ttyS2"), QStringLiteral("/dev/modem")});
    QStringList seen;
    for (const ModemDevice& m : modems)
        seen << m.name + QStringLiteral(" = ") + m.path;
    EXPECT_EQ(seen, QStringList({QStringLiteral("cdc_acm modem on ttyACM0 = /dev/ttyACM0"),
                                 QStringLiteral("serial8250 modem on ttyS2 = /dev/ttyS2"),
                                 QStringLiteral("Modem on /dev/modem = /dev/modem")}));
    EXPECT_TRUE(listModems(QStringLiteral("/nonexistent"), QStringLiteral("/dev"), {}).isEmpty());
}

// One call on the fake modem, with the messages telephony delivered.
struct Message {
    quint32 message;
    quintptr p1;
    quintptr p2;
};

class TelephonyCall : public ::testing::Test {
protected:
    void SetUp() override
    {
        emptySysfs_ = testsupport::sandboxRoot() + QStringLiteral("/no-tty");
        QDir().mkpath(emptySysfs_);
    }

    std::unique_ptr<HayesTelephony> make(const FakeModem& modem)
    {
        HayesTelephonyOptions options;
        options.sysfsRoot = emptySysfs_;
        options.configured = {modem.devicePath()};
        options.answerMs = 400;
        options.guardMs = 30;
        auto telephony = std::make_unique<HayesTelephony>(options);
        quint32 count = 0;
        EXPECT_EQ(telephony->initialize(
                      QStringLiteral("test"),
                      [this](quint32, quint32 message, quintptr, quintptr p1, quintptr p2, quintptr) {
                          messages.push_back({message, p1, p2});
                      },
                      &count),
                  tel::kOk);
        EXPECT_EQ(count, 1u);
        return telephony;
    }

    // Waits for a call state other than dialling.
    bool waitForOutcome(int ms = 8000)
    {
        return pumpUntil(
            [this] {
                for (const Message& m : messages) {
                    if (m.message == tel::kMsgCallState && m.p1 != tel::kStateDialing)
                        return true;
                    if (m.message == tel::kMsgReply && m.p2 != 0)
                        return true;
                }
                return false;
            },
            ms);
    }

    std::vector<Message> messages;
    QString emptySysfs_;
};

TEST_F(TelephonyCall, EachDialResultBecomesACallState)
{
    struct Case {
        FakeModem::DialResult result;
        quint32 state;
        quint32 mode;
    };
    for (const Case& c : {Case{FakeModem::DialResult::Connect, tel::kStateConnected, 0},
                          Case{FakeModem::DialResult::Busy, tel::kStateBusy, 0},
                          Case{FakeModem::DialResult::NoCarrier, tel::kStateDisconnected, tel::kDisconnectNoAnswer},
                          Case{FakeModem::DialResult::NoAnswer, tel::kStateDisconnected, tel::kDisconnectNoAnswer},
                          Case{FakeModem::DialResult::NoDialTone, tel::kStateDisconnected, tel::kDisconnectNoDialTone},
                          Case{FakeModem::DialResult::Error, tel::kStateDisconnected, tel::kDisconnectBadAddress}}) {
        messages.clear();
        FakeModem modem(FakeModem::at(2400, c.result));
        auto telephony = make(modem);
        quint32 line = 0, call = 0, version = 0;
        ASSERT_EQ(telephony->negotiateApiVersion(0, 0x10000, 0x10004, &version), tel::kOk);
        EXPECT_EQ(version, 0x10004u);
        ASSERT_EQ(telephony->openLine(tel::kLineMapper, version, 0, tel::kMediaDataModem, &line), tel::kOk);
        QString dialable;
        ASSERT_EQ(telephony->translateAddress(0, version, QStringLiteral("1 (800) 555-0199"), &dialable), tel::kOk);
        EXPECT_EQ(dialable, QStringLiteral("18005550199"));
        ASSERT_GT(telephony->makeCall(line, &call, dialable), 0);
        ASSERT_TRUE(waitForOutcome()) << int(c.result);
        const Message& last = messages.back();
        EXPECT_EQ(last.message, tel::kMsgCallState) << int(c.result);
        EXPECT_EQ(last.p1, c.state) << int(c.result);
        EXPECT_EQ(last.p2, c.mode) << int(c.result);
        EXPECT_EQ(modem.dialled(), QStringList{QStringLiteral("18005550199")});
        // The rates were hunted until the modem answered.
        EXPECT_TRUE(modem.commands().contains(QStringLiteral("19200 AT"))) << qPrintable(modem.commands().join(u'|'));
        EXPECT_EQ(modem.commands().at(2), QStringLiteral("2400 AT"));
        EXPECT_EQ(telephony->callPort(call) != nullptr, c.state == tel::kStateConnected);
        EXPECT_EQ(telephony->deallocateCall(call), tel::kOk);
    }
}

// How a number is dialled: the "+" of an international number is the location's
// international prefix, never dropped; the marks people write numbers with are.
TEST(DialableNumber, InternationalNumbersTakeTheLocationsPrefix)
{
    struct Case {
        const char* number;
        const char* prefix;
        const char* dialled;  // nullptr: refused
    } cases[] = {
        {"+44 20 7946 0000", "", "00442079460000"},       {"+44 20 7946 0000", "011", "011442079460000"},
        {"9,+1 (800) 555-0199", "00", "9,0018005550199"}, {"555-0100", "00", "5550100"},
        {"t555 0100 *70#", "", "T5550100*70#"},           {"+44 +20 7946 0000", "00", nullptr},
    };
    for (const Case& c : cases) {
        QString dialable = QStringLiteral("stale");
        QString error;
        const bool ok =
            platform::dialableNumber(QString::fromLatin1(c.number), QString::fromLatin1(c.prefix), &dialable, &error);
        EXPECT_EQ(ok, c.dialled != nullptr) << c.number;
        if (c.dialled != nullptr)
            EXPECT_EQ(dialable, QString::fromLatin1(c.dialled)) << c.number;
        else
            EXPECT_TRUE(error.contains(QStringLiteral("more than one"))) << error.toStdString();
    }
}

TEST_F(TelephonyCall, TheLocationsPrefixIsDialledAndAPlusNeverReachesTheModem)
{
    FakeModem modem(FakeModem::at(2400));
    HayesTelephonyOptions options;
    options.sysfsRoot = emptySysfs_;
    options.configured = {modem.devicePath()};
    options.internationalPrefix = QStringLiteral("011");
    HayesTelephony telephony(options);
    quint32 count = 0, line = 0, call = 0;
    const auto ignore = [](quint32, quint32, quintptr, quintptr, quintptr, quintptr) {};
    ASSERT_EQ(telephony.initialize(QStringLiteral("test"), ignore, &count), tel::kOk);
    ASSERT_EQ(telephony.openLine(tel::kLineMapper, tel::kApiVersion, 0, tel::kMediaDataModem, &line), tel::kOk);
    QString dialable;
    ASSERT_EQ(telephony.translateAddress(0, tel::kApiVersion, QStringLiteral("+44 20 7946 0000"), &dialable), tel::kOk);
    EXPECT_EQ(dialable, QStringLiteral("011442079460000"));
    EXPECT_EQ(telephony.translateAddress(0, tel::kApiVersion, QStringLiteral("+44+20"), &dialable),
              qint32(tel::kErrInvalAddress));
    // Untranslated, a "+" is refused rather than handed to the modem.
    EXPECT_EQ(telephony.makeCall(line, &call, QStringLiteral("+44 20 7946 0000")), qint32(tel::kErrInvalAddress));
    EXPECT_TRUE(modem.dialled().isEmpty());
}

TEST_F(TelephonyCall, AConnectedCallHearsTheFarEndHangUp)
{
    FakeModem modem(FakeModem::at(19200));
    auto telephony = make(modem);
    quint32 line = 0, call = 0;
    ASSERT_EQ(telephony->openLine(0, tel::kApiVersion, 0, tel::kMediaDataModem, &line), tel::kOk);
    ASSERT_GT(telephony->makeCall(line, &call, QStringLiteral("5551234")), 0);
    ASSERT_TRUE(waitForOutcome());
    ASSERT_EQ(messages.back().p1, tel::kStateConnected);
    std::shared_ptr<SerialPort> port = telephony->callPort(call);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(port->write("hello", 5, 500));

    messages.clear();
    modem.hangUp();
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(messages.back().p1, tel::kStateDisconnected);
    EXPECT_EQ(messages.back().p2, tel::kDisconnectNormal);
    // The call owns its port: deallocating it closes the port for every borrower.
    EXPECT_EQ(telephony->deallocateCall(call), tel::kOk);
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(telephony->deallocateCall(call), qint32(tel::kErrInvalCallHandle));
}

TEST_F(TelephonyCall, ADropEscapesToCommandModeAndHangsUp)
{
    FakeModem modem(FakeModem::at(9600));
    auto telephony = make(modem);
    quint32 line = 0, call = 0, state = 0;
    ASSERT_EQ(telephony->openLine(0, tel::kApiVersion, 0, tel::kMediaDataModem, &line), tel::kOk);
    ASSERT_GT(telephony->makeCall(line, &call, QStringLiteral("5551234")), 0);
    EXPECT_EQ(telephony->makeCall(line, &call, QStringLiteral("5551234")), qint32(tel::kErrCallUnavail));
    ASSERT_TRUE(waitForOutcome());
    ASSERT_EQ(telephony->drop(call), tel::kOk);
    ASSERT_EQ(telephony->getCallState(call, &state), tel::kOk);
    EXPECT_EQ(state, tel::kStateIdle);
    // A pseudo-terminal has no DTR to drop: "+++", then ATH0 in command mode.
    pumpUntil([&] { return modem.commands().last().endsWith(QStringLiteral("ATH0")); }, 3000);
    EXPECT_EQ(modem.escapes(), 1);
    EXPECT_EQ(modem.commands().last(), QStringLiteral("9600 ATH0"));
    EXPECT_FALSE(modem.inDataMode());
    EXPECT_EQ(telephony->closeLine(line), tel::kOk);
    EXPECT_EQ(telephony->shutdown(), tel::kOk);
}

TEST_F(TelephonyCall, ALineWithoutAModemAnswersTheCallWithAnError)
{
    // The fake answers at a rate the hunt never tries.
    FakeModem modem(FakeModem::at(4800));
    auto telephony = make(modem);
    quint32 line = 0, call = 0;
    ASSERT_EQ(telephony->openLine(0, tel::kApiVersion, 0, tel::kMediaDataModem, &line), tel::kOk);
    ASSERT_GT(telephony->makeCall(line, &call, QStringLiteral("5551234")), 0);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(messages.back().message, tel::kMsgReply);
    EXPECT_EQ(quint32(messages.back().p2), tel::kErrResourceUnavail);
    EXPECT_TRUE(modem.dialled().isEmpty());
    EXPECT_EQ(telephony->openLine(5, tel::kApiVersion, 0, tel::kMediaDataModem, &line), qint32(tel::kErrBadDeviceId));
}

// The line's rates come from the modem's own answer to "AT+MS?", found at its rate; a
// modem that cannot say, a busy port and a line without a modem give no rate.
TEST_F(TelephonyCall, TheModemStatesItsRates)
{
    FakeModem::Options options = FakeModem::at(2400);
    options.modulationText = "+MS: V90,1,300,56000,300,33600";
    FakeModem modem(options);
    auto telephony = make(modem);
    LineCaps caps;
    ASSERT_EQ(telephony->getDevCaps(0, tel::kApiVersion, &caps), tel::kOk);
    EXPECT_EQ(caps.maxRate, 0u) << "the caps alone never talk to the modem";
    ASSERT_EQ(telephony->queryLineRates(0, &caps), tel::kOk);
    EXPECT_EQ(caps.maxRate, 56000u);
    EXPECT_EQ(caps.bearerModes & tel::kBearerModeMultiUse, 0u);
    EXPECT_EQ(modem.commands(), (QStringList{"19200 AT+MS?", "9600 AT+MS?", "2400 AT+MS?"}));

    {
        auto busy = SerialPort::create();
        ASSERT_TRUE(busy->open(modem.devicePath()));
        EXPECT_EQ(telephony->queryLineRates(0, &caps), qint32(tel::kErrResourceUnavail)) << "a port in use";
    }
    EXPECT_EQ(telephony->queryLineRates(3, &caps), qint32(tel::kErrBadDeviceId));

    QString error;
    FakeModem silent(FakeModem::at(2400));
    EXPECT_EQ(make(silent)->queryLineRates(0, &caps, &error), qint32(tel::kErrOperationFailed)) << "ERROR: no rate";
    EXPECT_EQ(error, QStringLiteral("Modem %1 answered AT+MS? at 2400 bit/s with no rate").arg(silent.devicePath()));
    FakeModem absent(FakeModem::at(4800));
    EXPECT_EQ(make(absent)->queryLineRates(0, &caps, &error), qint32(tel::kErrResourceUnavail)) << "no answer";
    EXPECT_EQ(error, QStringLiteral("Modem %1 did not answer AT+MS? within 400 ms at 19200, 9600, 2400, 1200 bit/s")
                         .arg(absent.devicePath()));
}

// Each failure says what failed, on what and why: the serial layer's own words for a port
// that will not open, the number that is out of range, the handle that is not known.
TEST_F(TelephonyCall, EachFailureSaysWhatFailedAndWhy)
{
    FakeModem modem(FakeModem::at(2400));
    const QString missing = QStringLiteral("/nonexistent/ttyMODEM");
    HayesTelephonyOptions options;
    options.sysfsRoot = emptySysfs_;
    options.configured = {modem.devicePath(), missing};
    HayesTelephony telephony(options);
    HayesTelephony uninitialized(options);
    quint32 count = 0, line0 = 0, line1 = 0, call = 0, out = 0;
    const auto ignore = [](quint32, quint32, quintptr, quintptr, quintptr, quintptr) {};
    ASSERT_EQ(telephony.initialize(QStringLiteral("test"), ignore, &count), tel::kOk);
    ASSERT_EQ(count, 2u);
    ASSERT_EQ(telephony.openLine(0, tel::kApiVersion, 0, tel::kMediaDataModem, &line0), tel::kOk);
    ASSERT_EQ(telephony.openLine(1, tel::kApiVersion, 0, tel::kMediaDataModem, &line1), tel::kOk);
    // A call in progress holds the modem's port.
    ASSERT_GT(telephony.makeCall(line0, &call, QStringLiteral("5551234")), 0);
    LineCaps caps;
    QString dialable;
    const QString noSuchFile = QStringLiteral("Unable to open serial port %1: No such file or directory").arg(missing);

    const struct {
        const char* name;
        std::function<qint32(QString*)> run;
        quint32 result;
        QString message;  // exact, but for the busy port only the port it names
    } cases[] = {
        {"caps of line 0", [&](QString* e) { return telephony.getDevCaps(0, tel::kApiVersion, &caps, e); }, tel::kOk,
         QString()},
        {"rates of a missing modem", [&](QString* e) { return telephony.queryLineRates(1, &caps, e); },
         tel::kErrResourceUnavail, noSuchFile},
        {"call on a missing modem",
         [&](QString* e) { return telephony.makeCall(line1, &out, QStringLiteral("5551234"), e); },
         tel::kErrResourceUnavail, noSuchFile},
        {"rates of a modem in a call", [&](QString* e) { return telephony.queryLineRates(0, &caps, e); },
         tel::kErrResourceUnavail, modem.devicePath()},
        {"line out of range",
         [&](QString* e) { return telephony.openLine(5, tel::kApiVersion, 0, tel::kMediaDataModem, &out, e); },
         tel::kErrBadDeviceId, QStringLiteral("No line 5: the machine has 2")},
        {"caps out of range", [&](QString* e) { return telephony.getDevCaps(2, tel::kApiVersion, &caps, e); },
         tel::kErrBadDeviceId, QStringLiteral("No line 2: the machine has 2")},
        {"translation out of range",
         [&](QString* e) {
             return telephony.translateAddress(9, tel::kApiVersion, QStringLiteral("555"), &dialable, e);
         },
         tel::kErrBadDeviceId, QStringLiteral("No line 9: the machine has 2")},
        {"version out of range",
         [&](QString* e) { return telephony.negotiateApiVersion(0, 0x20000, 0x30000, &out, e); },
         tel::kErrOperationFailed,
         QStringLiteral("No telephony version from 0x20000 to 0x30000 on line 0: it speaks 0x10000 to 0x10004")},
        {"line before initialize",
         [&](QString* e) { return uninitialized.openLine(0, tel::kApiVersion, 0, tel::kMediaDataModem, &out, e); },
         tel::kErrUninitialized, QStringLiteral("No line to open: telephony is not initialized")},
        {"second call on a line",
         [&](QString* e) { return telephony.makeCall(line0, &out, QStringLiteral("5551234"), e); },
         tel::kErrCallUnavail, QStringLiteral("Line %1 already has call %2").arg(line0).arg(call)},
        {"untranslated +",
         [&](QString* e) { return telephony.makeCall(line1, &out, QStringLiteral("+44 20 7946 0000"), e); },
         tel::kErrInvalAddress,
         QStringLiteral("Unable to dial +44 20 7946 0000: its \"+\" was not translated to a prefix")},
        {"two +",
         [&](QString* e) {
             return telephony.translateAddress(0, tel::kApiVersion, QStringLiteral("+44+20"), &dialable, e);
         },
         tel::kErrInvalAddress, QStringLiteral("The number +44+20 holds more than one \"+\"")},
        {"unknown call state", [&](QString* e) { return telephony.getCallState(77, &out, e); },
         tel::kErrInvalCallHandle, QStringLiteral("Call 77 is not known")},
        {"unknown call dropped", [&](QString* e) { return telephony.drop(77, e); }, tel::kErrInvalCallHandle,
         QStringLiteral("Call 77 is not known")},
        {"unknown call deallocated", [&](QString* e) { return telephony.deallocateCall(77, e); },
         tel::kErrInvalCallHandle, QStringLiteral("Call 77 is not known")},
        {"unknown line", [&](QString* e) { return telephony.lineDeviceId(99, &out, e); }, tel::kErrInvalLineHandle,
         QStringLiteral("Line 99 is not open")},
        {"unknown line closed", [&](QString* e) { return telephony.closeLine(99, e); }, tel::kErrInvalLineHandle,
         QStringLiteral("Line 99 is not open")},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(c.run(&error), qint32(c.result)) << c.name;
        // How a busy port fails depends on who runs the test: open refused, or the lock.
        if (c.message == modem.devicePath())
            EXPECT_TRUE(error.startsWith(QStringLiteral("Unable to ")) && error.contains(c.message))
                << error.toStdString();
        else
            EXPECT_EQ(error.toStdString(), c.message.toStdString()) << c.name;
    }
    EXPECT_EQ(telephony.deallocateCall(call), tel::kOk);
}

TEST(ModulationRate, FromTheAnswerOrTheModulation)
{
    const struct {
        const char* answer;
        quint32 rate;
    } cases[] = {
        {"\r\n+MS: V90,1,300,56000,300,33600\r\n\r\nOK\r\n", 56000},
        {"+MS: 11,1,300,33600", 33600},
        {"+MS: V34\r\nOK\r\n", 33600},
        {"+MS: v.32b,1\r\n", 14400},
        {"+MS: V92,1,300,0\r\n", 56000},
        {"+MS: 64000,1,300,abc", 0},
        {"+MS: WHAT", 0},
        {"+MS:", 0},
        {"OK\r\n", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(modulationMaxRate(QByteArray(c.answer)), c.rate) << c.answer;
}

}  // namespace
