#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace platform {

// The desktop's notification server, where an announcement goes when the desktop has no
// tray. One notification at a time: each one shown replaces the one before.
class Notifications {
public:
    // The server's answer to a show: an error text, empty when the notification is up.
    using Shown = std::function<void(const QString& error)>;

    virtual ~Notifications() = default;
    // Shows `title` and `text` from `appName` with the theme icon `icon` for `timeoutMs`;
    // false when no server can be reached, else `shown` hears the answer later.
    virtual bool show(const QString& appName, const QString& title, const QString& text, const QString& icon,
                      int timeoutMs, Shown shown = {}) = 0;
    // Takes the notification off the screen, one still being shown as soon as it is up;
    // `wait` makes the call before returning (at exit, where a queued call would be lost).
    virtual void close(bool wait) = 0;
    // `activated` runs when the user clicks the notification; empty for nothing.
    virtual void setActivated(std::function<void()> activated) = 0;
};

// The desktop's own, org.freedesktop.Notifications on the session bus.
std::unique_ptr<Notifications> desktopNotifications();

}  // namespace platform
