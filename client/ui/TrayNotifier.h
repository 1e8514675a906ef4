#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

class QSystemTrayIcon;
namespace platform {
class Notifications;
}

namespace client {

// The notification-area icon through which the view announces unread messages. The tray
// announcer keeps the state (whether an icon was added, the counts, the texts); this only
// puts it on the desktop. Tests substitute a recording one.
class TrayNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Adds the icon with the image of icon resource `iconId` and the tip.
    virtual void AddIcon(int iconId, const QString& tip) = 0;
    // Changes the image and the tip of the icon added.
    virtual void ModifyIcon(int iconId, const QString& tip) = 0;
    // Shows a balloon at the icon for `timeoutMs`.
    virtual void ShowBalloon(const QString& title, const QString& text, int timeoutMs) = 0;
    // Removes the icon, and its balloon with it.
    virtual void RemoveIcon() = 0;

signals:
    // A double click on the icon, or a click on its balloon.
    void activated();
};

// The desktop's tray through QSystemTrayIcon. Where the desktop has no tray, the balloon
// goes out as a desktop notification whose click counts as a click on the balloon, so the
// announcement still reaches the user.
class DesktopTrayNotifier final : public TrayNotifier {
    Q_OBJECT
public:
    // `notifications` (not owned) stands in for the desktop's notification server;
    // nullptr: the desktop's own.
    explicit DesktopTrayNotifier(platform::Notifications* notifications = nullptr, QObject* parent = nullptr);
    ~DesktopTrayNotifier() override;

    void AddIcon(int iconId, const QString& tip) override;
    void ModifyIcon(int iconId, const QString& tip) override;
    void ShowBalloon(const QString& title, const QString& text, int timeoutMs) override;
    void RemoveIcon() override;

private:
    std::unique_ptr<platform::Notifications> ownNotifications_;
    platform::Notifications* notifications_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    int iconId_ = 0;
    QElapsedTimer lastTrigger_;
};

}  // namespace client
