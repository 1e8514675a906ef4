// The desktop's tray notifier where the desktop has no tray (offscreen here): the balloon
// goes to the desktop's notifications, which a recording stand-in takes.
#include "client/ui/TrayNotifier.h"
#include "platform/desktop/Notifications.h"

#include <gtest/gtest.h>

#include <QSystemTrayIcon>

using namespace client;

namespace {

// Every call, as "show <app>|<title>|<text>|<icon>|<ms>", "close" or "close waiting".
class RecordingNotifications final : public platform::Notifications {
public:
    bool show(const QString& appName, const QString& title, const QString& text, const QString& icon, int timeoutMs,
              Shown shown, QString*) override
    {
        calls << QStringLiteral("show %1|%2|%3|%4|%5").arg(appName, title, text, icon).arg(timeoutMs);
        if (shown)
            shown(QString());
        return true;
    }
    void close(bool wait) override { calls << (wait ? QStringLiteral("close waiting") : QStringLiteral("close")); }
    void setActivated(std::function<void()> activated) override { this->activated = std::move(activated); }

    QStringList calls;
    std::function<void()> activated;
};

// The notification stands in for the balloon: it says what the balloon would, goes with the
// icon, and its click is the balloon's. The program's end takes it off the screen before
// the program has gone.
TEST(DesktopTray, WithoutATrayTheBalloonIsADesktopNotification)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    RecordingNotifications notifications;
    {
        DesktopTrayNotifier notifier(&notifications);
        int activated = 0;
        QObject::connect(&notifier, &TrayNotifier::activated, [&] { ++activated; });
        notifier.AddIcon(137, "tip");
        notifier.ModifyIcon(128, "tip");
        notifier.ShowBalloon("New message from Ovex Inc", "You have one unread message available.", 15000);
        notifier.RemoveIcon();
        EXPECT_EQ(notifications.calls,
                  (QStringList{"show Ovex Kelvo|New message from Ovex Inc|You have one unread message "
                               "available.|mail-unread|15000",
                               "close"}));
        ASSERT_TRUE(notifications.activated);
        notifications.activated();
        EXPECT_EQ(activated, 1);
    }
    EXPECT_EQ(notifications.calls.last(), "close waiting");
    EXPECT_FALSE(notifications.activated);
}

}  // namespace
