// The desktop's tray notifier where the desktop has no tray: the balloon as a desktop
// notification on a private session bus, served by the notification server peer.
#include "client/ui/TrayNotifier.h"
#include "platform/ui/Ui.h"
#include "tests/client/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <QSystemTrayIcon>

namespace {

using namespace e2etest;

class Notifier : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus_.up());
        ASSERT_TRUE(server_.started());
        // Before the first use of the session bus in this process.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());
        ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    }
    bool waitForLine(const QString& prefix)
    {
        return platform::pumpUntil([&] { return !server_.waitForLine(prefix, 0).isEmpty(); }, 20000);
    }

    SessionBus bus_;
    NotificationServer server_{bus_};
};

// Removing the icon takes its notification with it, even while the server has not yet
// answered the call that showed it.
TEST_F(Notifier, RemovingTheIconClosesItsNotification)
{
    DesktopTrayNotifier notifier;
    notifier.AddIcon(137, "tip");
    notifier.ShowBalloon("New message from Ovex Inc", "You have one unread message available.", 15000);
    notifier.RemoveIcon();
    ASSERT_TRUE(waitForLine("close "));
    EXPECT_EQ(server_.lines(), (QStringList{"notify 1\tOvex Kelvo\tNew message from Ovex Inc\tYou have one unread "
                                            "message available.\tdefault,\t15000",
                                            "close 1"}));
}

// A click on the notification is a click on the balloon; another notification's click is not.
TEST_F(Notifier, ClickOnItsNotificationActivates)
{
    DesktopTrayNotifier notifier;
    int activated = 0;
    QObject::connect(&notifier, &TrayNotifier::activated, [&] { ++activated; });
    notifier.AddIcon(137, "tip");
    notifier.ShowBalloon("title", "text", 15000);
    ASSERT_TRUE(waitForLine("notify 1"));
    server_.click("7");
    server_.click("1");
    ASSERT_TRUE(platform::pumpUntil([&] { return activated > 0; }, 20000));
    EXPECT_EQ(activated, 1);
}

}  // namespace
