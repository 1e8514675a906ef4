#pragma once

#include "platform/desktop/Notifications.h"

#include <QObject>

namespace platform {

// org.freedesktop.Notifications on the session bus the session already has (never one
// started for the purpose). The click on a notification is its default action, which
// servers show as the notification itself rather than as a button.
class LinuxNotifications final : public QObject, public Notifications {
    Q_OBJECT
public:
    explicit LinuxNotifications(QObject* parent = nullptr);

    bool show(const QString& appName, const QString& title, const QString& text, const QString& icon, int timeoutMs,
              Shown shown = {}, QString* error = nullptr) override;
    void close(bool wait) override;
    void setActivated(std::function<void()> activated) override { activated_ = std::move(activated); }

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnNotificationClosed(uint id, uint reason);

private:
    bool ConnectBus(QString* reason);
    void CloseShown(bool wait);

    std::function<void()> activated_;
    bool busConnected_ = false;
    uint notificationId_ = 0;       // the notification on screen, 0 for none
    int showPending_ = 0;           // Notify calls not yet answered
    uint clickedWhilePending_ = 0;  // a click heard before the server's answer named our id
    bool closeWhenShown_ = false;
};

}  // namespace platform
