#include "platform/desktop/Desktop.h"
#include "platform/desktop/LinuxDesktop.h"
#include "platform/desktop/LinuxNotifications.h"
#include "platform/ui/Ui.h"
#include "tests/peers/Peers.h"
#include "tests/support/DesktopStandIns.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

using platform::IdleWaitResult;

namespace {

// ---- The idle wait, with a scripted desktop and a clock that only counts ----------

using testsupport::CountingClock;
using testsupport::ScriptedDesktop;

TEST(IdleWait, EndsOnlyInTheIdleWindowOrWhenItCannotGoOn)
{
    constexpr int kLimitSteps = 30 * 60 / 8;  // the steps that make 30 minutes
    const struct {
        const char* what;
        QList<qint64> idle;
        IdleWaitResult result;
        int reads;
    } cases[] = {
        {"idle within the window at the first step", {12000}, IdleWaitResult::UserIdle, 1},
        {"typing, then a pause; both window ends count", {200, 3000, 9999, 10000}, IdleWaitResult::UserIdle, 4},
        {"upper end of the window", {61000, 60000}, IdleWaitResult::UserIdle, 2},
        {"away, back, then pausing", {61000, 69000, 500, 8500, 16500}, IdleWaitResult::UserIdle, 5},
        {"idle time unknown", {-1}, IdleWaitResult::IdleUnknown, 1},
        {"idle time lost while waiting", {300, -1}, IdleWaitResult::IdleUnknown, 2},
        {"keeps typing for good", {100}, IdleWaitResult::TimedOut, kLimitSteps},
        {"stays away for good", {100000}, IdleWaitResult::TimedOut, kLimitSteps},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDesktop desktop(c.idle);
        CountingClock clock;
        EXPECT_EQ(platform::waitForIdleUser(desktop, clock), c.result);
        EXPECT_EQ(desktop.reads, c.reads);
        // Every reading comes after a full 8-second sleep.
        EXPECT_EQ(clock.sleeps, QList<int>(c.reads, 8000));
    }
}

// A quit must not wait for a reading: the stop is asked before each sleep and again as it
// ends, before the idle time is read.
TEST(IdleWait, StopIsAskedAroundEverySleep)
{
    struct Case {
        int stopAtAsk;
        int reads, sleeps;
    };
    for (const Case c : {Case{1, 0, 0}, Case{2, 0, 1}, Case{3, 1, 1}, Case{4, 1, 2}}) {
        ScriptedDesktop desktop({100});
        CountingClock clock;
        int asked = 0;
        EXPECT_EQ(platform::waitForIdleUser(desktop, clock, {}, [&] { return ++asked == c.stopAtAsk; }),
                  IdleWaitResult::Stopped);
        EXPECT_EQ(desktop.reads, c.reads) << "stopped at ask " << c.stopAtAsk;
        EXPECT_EQ(clock.sleeps.size(), c.sleeps) << "stopped at ask " << c.stopAtAsk;
    }
}

// ---- Sounds ---------------------------------------------------------------------------

TEST(Sounds, StylesMapToThemeNames)
{
    namespace mb = platform::mb;
    EXPECT_EQ(platform::soundName(mb::IconAsterisk), "dialog-information");
    EXPECT_EQ(platform::soundName(mb::OkCancel | mb::IconExclamation), "dialog-warning");
    EXPECT_EQ(platform::soundName(mb::IconHand), "dialog-error");
    EXPECT_EQ(platform::soundName(mb::YesNo | mb::IconQuestion), "dialog-question");
    EXPECT_EQ(platform::soundName(mb::Ok), "bell");
}

TEST(Sounds, ThemePlayerGetsTheSoundName)
{
    const QString bin = testsupport::sandboxRoot() + "/bin";
    const QString log = testsupport::sandboxRoot() + "/played.log";
    testsupport::writeExecutable(
        bin + "/canberra-gtk-play",
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" > '%1.part' && mv '%1.part' '%1'\n").arg(log).toUtf8());
    qputenv("PATH", bin.toLocal8Bit() + ':' + qgetenv("PATH"));

    platform::LinuxDesktop().playSound(platform::mb::IconAsterisk);
    // The player runs detached; wait for its record.
    QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(log) && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(testsupport::readFile(log), QByteArray("--id=dialog-information\n"));
}

// ---- Idle time from real sources --------------------------------------------------------

using testsupport::Xvfb;

// A private session bus, with or without the idle monitor on it. Made before the first use
// of the session bus in the test's process, which then keeps to it.
class SessionBus {
public:
    SessionBus()
    {
        if (bus_.up())
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());
    }
    ~SessionBus()
    {
        if (monitor_.state() != QProcess::NotRunning) {
            monitor_.terminate();
            if (!monitor_.waitForFinished(5000))
                monitor_.kill();
        }
    }
    bool up() const { return bus_.up(); }
    QString address() const { return bus_.address(); }
    bool startMonitor(quint64 idle)
    {
        monitor_.start(QStringLiteral(OVEX_IDLE_MONITOR_PEER), {QString::number(idle)});
        return monitor_.waitForReadyRead(10000) && monitor_.readLine().trimmed() == "ready";
    }

private:
    testpeers::PrivateBus bus_;
    QProcess monitor_;
};

TEST(IdleTime, X11ScreenSaverExtension)
{
    Xvfb x;
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    const qint64 first = platform::x11IdleMilliseconds(x.display());
    EXPECT_GE(first, 0);
    EXPECT_LT(first, 60000);  // the server has only just started
    QThread::msleep(1200);
    EXPECT_GE(platform::x11IdleMilliseconds(x.display()), first + 1000);  // nobody touches it

    qputenv("DISPLAY", x.display());
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_GE(platform::LinuxDesktop().idleMilliseconds(), first);
}

TEST(IdleTime, UnknownWithoutDisplayOrMonitor)
{
    EXPECT_EQ(platform::x11IdleMilliseconds(QByteArray()), -1);
    EXPECT_EQ(platform::x11IdleMilliseconds(":4711"), -1);
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_EQ(platform::LinuxDesktop().idleMilliseconds(), -1);
    // A bus without the monitor on it knows nothing either.
    SessionBus bus;
    ASSERT_TRUE(bus.up());
    EXPECT_EQ(platform::mutterIdleMilliseconds(), -1);
    EXPECT_EQ(platform::LinuxDesktop().idleMilliseconds(), -1);
}

// On Wayland an X server sees only its own clients, so the compositor's monitor wins
// even where DISPLAY names a working server.
TEST(IdleTime, IdleMonitorOnTheSessionBus)
{
    Xvfb x;
    ASSERT_FALSE(x.display().isEmpty());
    SessionBus bus;
    ASSERT_TRUE(bus.up());
    ASSERT_TRUE(bus.startMonitor(4242000));
    EXPECT_EQ(platform::mutterIdleMilliseconds(), 4242000);

    qputenv("DISPLAY", x.display());
    qputenv("WAYLAND_DISPLAY", "wayland-test");
    EXPECT_EQ(platform::LinuxDesktop().idleMilliseconds(), 4242000);
    // On X11 the server answers, and the bus only when it cannot.
    qunsetenv("WAYLAND_DISPLAY");
    EXPECT_LT(platform::LinuxDesktop().idleMilliseconds(), 4242000);
    qputenv("DISPLAY", ":4711");
    EXPECT_EQ(platform::LinuxDesktop().idleMilliseconds(), 4242000);
}

// ---- The session bus and desktop notifications -------------------------------------------

// Only a bus the session has counts: the one its address names, or the user's bus in the
// runtime folder. Without either, a notification is not even attempted.
TEST(SessionBusProbe, TheAddressOrTheUsersBus)
{
    const QString runtime = testsupport::sandboxRoot() + "/runtime";
    QDir().mkpath(runtime);
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    EXPECT_FALSE(platform::sessionBusKnown());
    QString error;
    EXPECT_FALSE(platform::LinuxNotifications().show("Ovex Kelvo", "title", "text", "mail-unread", 15000, {}, &error));
    EXPECT_EQ(error.toStdString(),
              "Unable to show the notification \"title\": the session has no bus "
              "(DBUS_SESSION_BUS_ADDRESS is not set and the runtime folder holds none)");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(platform::sessionBusKnown());

    testsupport::writeFile(runtime + "/bus", QByteArray());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    EXPECT_TRUE(platform::sessionBusKnown());
    QFile::remove(runtime + "/bus");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime.toLocal8Bit() + "/elsewhere");
    EXPECT_TRUE(platform::sessionBusKnown());
    // A bus the session names but nobody serves: the connection's own reason.
    EXPECT_FALSE(platform::LinuxNotifications().show("Ovex Kelvo", "title", "text", "mail-unread", 15000, {}, &error));
    EXPECT_TRUE(error.startsWith("Unable to show the notification \"title\": the session bus cannot be reached: "))
        << error.toStdString();
}

// A bus without a notification server: the show is sent, and its answer is the error.
TEST(Notifications, NoServerOnTheBusIsReportedAsTheAnswer)
{
    SessionBus bus;
    ASSERT_TRUE(bus.up());
    platform::LinuxNotifications notifications;
    QString answer = "(none)";
    ASSERT_TRUE(notifications.show("Ovex Kelvo", "title", "text", "mail-unread", 15000,
                                   [&](const QString& error) { answer = error; }));
    ASSERT_TRUE(platform::pumpUntil([&] { return answer != "(none)"; }, 20000));
    EXPECT_FALSE(answer.isEmpty());
}

// The notification server peer on a private bus.
class Notifier : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus_.up());
        ASSERT_TRUE(server_.started());
    }
    bool waitForLine(const QString& prefix)
    {
        return platform::pumpUntil([&] { return !server_.waitForLine(prefix, 0).isEmpty(); }, 20000);
    }

    SessionBus bus_;
    testpeers::NotificationServer server_{OVEX_NOTIFICATION_PEER, bus_.address()};
};

// Closing takes the notification with it, even while the server has not yet answered the
// call that showed it: the tray's icon removed at once after its balloon.
TEST_F(Notifier, RemovingTheIconClosesItsNotification)
{
    platform::LinuxNotifications notifications;
    QStringList answers;
    ASSERT_TRUE(notifications.show("Ovex Kelvo", "New message from Ovex Inc", "You have one unread message available.",
                                   "mail-unread", 15000, [&](const QString& error) { answers << error; }));
    notifications.close(false);
    ASSERT_TRUE(waitForLine("close "));
    EXPECT_EQ(server_.lines(), (QStringList{"notify 1\tOvex Kelvo\tNew message from Ovex Inc\tYou have one unread "
                                            "message available.\tdefault,\t15000",
                                            "close 1"}));
    EXPECT_EQ(answers, QStringList{QString()});
}

// A click on the notification is a click on the balloon; another notification's click is not.
TEST_F(Notifier, ClickOnItsNotificationActivates)
{
    platform::LinuxNotifications notifications;
    int activated = 0;
    notifications.setActivated([&] { ++activated; });
    ASSERT_TRUE(notifications.show("Ovex Kelvo", "title", "text", "mail-unread", 15000));
    ASSERT_TRUE(waitForLine("notify 1"));
    server_.click("7");
    server_.click("1");
    ASSERT_TRUE(platform::pumpUntil([&] { return activated > 0; }, 20000));
    EXPECT_EQ(activated, 1);
}

// The server may send the click before its answer to Notify: the click counts once the
// answer names the notification as ours.
TEST(Notifications, AClickBeforeTheServersAnswerActivates)
{
    SessionBus bus;
    ASSERT_TRUE(bus.up());
    testpeers::NotificationServer server(OVEX_NOTIFICATION_PEER, bus.address(), true);
    ASSERT_TRUE(server.started());
    platform::LinuxNotifications notifications;
    int activated = 0;
    notifications.setActivated([&] { ++activated; });
    QStringList answers;
    ASSERT_TRUE(notifications.show("Ovex Kelvo", "title", "text", "mail-unread", 15000,
                                   [&](const QString& error) { answers << error; }));
    ASSERT_FALSE(server.waitForLine("notify 1", 20000).isEmpty());
    server.click("1");
    server.answer();
    ASSERT_TRUE(platform::pumpUntil([&] { return activated > 0; }, 20000));
    EXPECT_EQ(activated, 1);
    EXPECT_EQ(answers, QStringList{QString()});
}

}  // namespace
