#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace platform {

// The desktop's notification server, where an announcement goes when the desktop has no
// tray. One notification at a time: each one shown replaces the one before. `shown` hears
// the server's answer to a show later: an error text, empty when the notification is up.
// `wait` has the close made before it returns, for the program's exit, where a queued
// call would be lost.
class Notifications {
public:
    using Shown = std::function<void(const QString& error)>;

    virtual ~Notifications() = default;
    // Shows `title` and `text` with a theme icon; false, with `error` saying why, when no
    // server can be reached.
    virtual bool show(const QString& appName, const QString& title, const QString& text, const QString& icon,
                      int timeoutMs, Shown shown = {}, QString* error = nullptr) = 0;
    // Takes the notification off the screen, as soon as it is up when still being shown.
    virtual void close(bool wait) = 0;
    // Runs `activated` (empty: nothing) when the user clicks the notification.
    virtual void setActivated(std::function<void()> activated) = 0;
};

// The desktop's own, org.freedesktop.Notifications on the session bus.
std::unique_ptr<Notifications> desktopNotifications();

}  // namespace platform
