#pragma once

#include <QObject>

#include <memory>

namespace platform {
class WaitClock;
}

namespace client {

class TrayNotifier;

// The tray's part in announcing unread messages: the icon added, brought up to date and
// removed, and an announcement's balloon and sound once the user has paused. The count
// comes from the view, which keeps the list.
class TrayAnnouncer : public QObject {
    Q_OBJECT
public:
    // `tray` and `clock` are not owned; nullptr: the desktop's tray, the system's clock.
    TrayAnnouncer(TrayNotifier* tray, platform::WaitClock* clock, QObject* parent = nullptr);
    ~TrayAnnouncer() override;

    // Brings the icon up to date with `unreadCount`; `announce` first waits for the user
    // to pause, then shows the balloon and plays the sound the user chose.
    void NotifyNewMessages(int unreadCount, bool announce);
    void RemoveIcon();
    bool IconShown() const { return iconShown_; }

signals:
    // A double click on the icon or a click on its balloon.
    void activated();

private:
    void ShowIcon(int unreadCount);
    bool WaitForIdleUser();
    TrayNotifier& Tray();

    TrayNotifier* tray_;
    platform::WaitClock* clock_;
    std::unique_ptr<TrayNotifier> ownTray_;
    bool added_ = false;  // an icon was added and not yet removed
    bool iconShown_ = false;
};

}  // namespace client
