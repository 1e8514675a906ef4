#pragma once

#include "platform/desktop/Desktop.h"

#include <QByteArray>

namespace platform {

// The desktop on Linux. Idle time: on X11 the screen-saver extension of the display
// named by DISPLAY; on Wayland (where an X server sees only its own clients' input) and
// as a fallback, GNOME's idle monitor on the session bus. Sounds: the sound theme
// through canberra-gtk-play when it is installed, else the display's bell.
class LinuxDesktop final : public Desktop {
public:
    qint64 idleMilliseconds() override;
    void playSound(unsigned style) override;
};

// The single sources, -1 when they cannot answer.
qint64 x11IdleMilliseconds(const QByteArray& displayName);
qint64 mutterIdleMilliseconds();

// Whether the session has a bus of its own to connect to: one named by
// DBUS_SESSION_BUS_ADDRESS, or the user's bus in $XDG_RUNTIME_DIR.
bool sessionBusKnown();

}  // namespace platform
