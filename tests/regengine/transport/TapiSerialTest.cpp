#include "regengine/core/ModalWait.h"
#include "regengine/core/QmStringList.h"
#include "regengine/transport/TapiSerial.h"

#include "platform/serial/SerialPort.h"
#include "platform/telephony/HayesTelephony.h"
#include "platform/ui/Ui.h"

#include "tests/peers/FakeModem.h"
#include "tests/regengine/transport/TransportTestSupport.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TraceRecorder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTimer>

using namespace engine;
using testpeers::FakeModem;
using transporttest::Lines;
using transporttest::StepClock;

namespace {

platform::HayesTelephonyOptions optionsFor(const QString& sysfs, const QStringList& configured)
{
    platform::HayesTelephonyOptions options;
    options.sysfsRoot = sysfs;
    options.configured = configured;
    options.answerMs = 400;
    options.guardMs = 30;
    return options;
}

QString emptySysfs()
{
    const QString dir = testsupport::sandboxRoot() + QStringLiteral("/no-tty");
    QDir().mkpath(dir);
    return dir;
}

TEST(ComLineMgr, ListsTheDataModemsWithTheirNumbers)
{
    const QString fixture = testsupport::sourceDir() + QStringLiteral("/tests/fixtures/sysfs/class/tty");
    platform::HayesTelephony telephony(optionsFor(fixture, {QStringLiteral("/dev/modem")}));
    ComLineMgr manager(&telephony);
    const auto list = manager.GetModemList();
    ASSERT_NE(list, nullptr);
    QStringList items;
    for (int i = 0; i < list->GetCount(); ++i)
        items << *list->GetItem(i);
    EXPECT_EQ(items,
              QStringList({QStringLiteral("cdc_acm modem on ttyACM0^0"), QStringLiteral("serial8250 modem on ttyS2^1"),
                           QStringLiteral("Modem on /dev/modem^2")}));

    platform::HayesTelephony none(optionsFor(emptySysfs(), {}));
    ComLineMgr bare(&none);
    const auto empty = bare.GetModemList();
    ASSERT_NE(empty, nullptr);
    ASSERT_EQ(empty->GetCount(), 1);
    EXPECT_EQ(*empty->GetItem(0), QStringLiteral("No Modem Available^-1"));
}

// A line or a call the layer refuses is traced with the layer's words, while the box and the
// status display keep the line manager's own text.
TEST(ComLineMgr, ALineOrCallRefusedCarriesTheLayersWords)
{
    FakeModem modem(FakeModem::at(2400));
    const QString missing = QStringLiteral("/nonexistent/ttyMODEM");
    platform::HayesTelephony telephony(optionsFor(emptySysfs(), {modem.devicePath(), missing}));
    testsupport::RecordingSink boxes;
    testsupport::TraceRecorder trace;
    Lines status;
    TapiSerial device(QString(), &telephony);
    device.SetStatusDisplayer(&status);
    ComLineMgr* manager = device.GetLineMgr();

    qint32 result = 0;
    EXPECT_FALSE(manager->OpenLine(&result, 5));
    EXPECT_EQ(quint32(result), platform::tel::kErrBadDeviceId);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("A phone line could not be opened"));
    EXPECT_TRUE(trace.Contains(QStringLiteral("OpenLine: No line 5: the machine has 2"))) << trace.Text().toStdString();

    EXPECT_FALSE(manager->MakeCall(QStringLiteral("5551234"), 1));
    EXPECT_TRUE(trace.Contains(QStringLiteral("Unable to open serial port %1: No such file or directory").arg(missing)))
        << trace.Text().toStdString();
    EXPECT_EQ(device.GetStatusText(), ComLineMgr::LineErrorText(qint32(platform::tel::kErrResourceUnavail)));
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(modem.dialled().isEmpty());
}

// A TapiSerial dialling the fake modem, with what its status display showed.
struct Dialer {
    explicit Dialer(FakeModem& modem)
        : telephony(optionsFor(emptySysfs(), {modem.devicePath()})), device(QString(), &telephony)
    {
        device.SetStatusDisplayer(&status);
        device.SetInitString("5551234");
    }
    platform::HayesTelephony telephony;
    Lines status;
    TapiSerial device;
};

TEST(TapiSerial, EachDialResultReportsItsText)
{
    struct Case {
        FakeModem::DialResult result;
        int open;
        const char* lastText;
    };
    for (const Case& c :
         {Case{FakeModem::DialResult::Connect, 0, "Connected."},
          Case{FakeModem::DialResult::Busy, CommDevice::kFailed, "Line is busy."},
          Case{FakeModem::DialResult::NoCarrier, CommDevice::kFailed, "Disconnected: No answer."},
          Case{FakeModem::DialResult::NoDialTone, CommDevice::kFailed, "Disconnected: No dial tone."}}) {
        FakeModem modem(FakeModem::at(2400, c.result));
        Dialer d(modem);
        EXPECT_EQ(d.device.Open(), c.open) << c.lastText;
        EXPECT_EQ(d.device.HasPort(), c.open == 0) << c.lastText;
        EXPECT_EQ(d.device.GetStatusText(), QString::fromLatin1(c.lastText));
        EXPECT_EQ(d.device.GetLineMgr()->IsConnected(), c.open == 0);
    }
}

TEST(TapiSerial, ACallThatNeverConnectsEndsAfterFiftySeconds)
{
    FakeModem modem(FakeModem::at(2400, FakeModem::DialResult::Silence));
    Dialer d(modem);
    static StepClock clock;
    d.device.SetDeviceClock(&clock);
    // Every pass of the wait lets a tenth of a second go by.
    SetIdleCallback([](QObject*) { clock.Advance(100); }, nullptr);
    const qint64 start = clock.MonotonicMs();
    EXPECT_EQ(d.device.Open(), CommDevice::kFailed);
    SetIdleCallback(nullptr, nullptr);
    EXPECT_GE(clock.MonotonicMs() - start, 50000);
    EXPECT_LT(clock.MonotonicMs() - start, 51000);
    EXPECT_TRUE(d.device.GetLineMgr()->IsFailed());
    EXPECT_FALSE(d.device.HasPort());
}

TEST(TapiSerial, CancelEndsTheWaitForTheCall)
{
    FakeModem modem(FakeModem::at(2400, FakeModem::DialResult::Silence));
    Dialer d(modem);
    d.device.SetCancelFlag(CancelFlagPointer());
    static int passes = 0;
    SetIdleCallback(
        [](QObject*) {
            if (++passes == 20)
                SetCancelFlag(1);
        },
        nullptr);
    EXPECT_EQ(d.device.Open(), CommDevice::kFailed);
    SetIdleCallback(nullptr, nullptr);
    EXPECT_EQ(passes, 20);
    SetCancelFlag(0);
}

TEST(TapiSerial, AQuitDuringTheCallIsPostedAgainAfterIt)
{
    FakeModem modem(FakeModem::at(2400));
    Dialer d(modem);
    QTimer::singleShot(0, [] { platform::postQuit(5); });
    EXPECT_EQ(d.device.Open(), 0);
    EXPECT_TRUE(platform::quitPending());
}

TEST(TapiSerial, TheFarEndHangingUpKillsTheLine)
{
    FakeModem modem(FakeModem::at(2400));
    Dialer d(modem);
    ASSERT_EQ(d.device.Open(), 0);
    ASSERT_EQ(d.device.Send("ping", 4), 0);
    modem.hangUp();
    EXPECT_EQ(d.device.WaitForString("pong", 100000, 0), CommDevice::kAborted);
    EXPECT_TRUE(d.device.GetAbortFlag());
    // Telephony reported the dead line: the device let go of the call's port.
    platform::pumpUntil([&] { return !d.device.GetLineMgr()->IsConnected(); }, 3000);
    EXPECT_FALSE(d.device.HasPort());
    EXPECT_FALSE(d.device.GetLineMgr()->IsConnected());
}

}  // namespace
