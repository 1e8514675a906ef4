#pragma once

#include <QString>

#include <functional>

namespace platform {

// What the client needs of the user's desktop beyond Qt: how long the user has been idle
// and the sounds that go with message-box styles.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Milliseconds since the user last used keyboard or mouse; -1 when nothing can tell.
    virtual qint64 idleMilliseconds() = 0;
    // Plays the sound of a message-box style (mb::IconAsterisk and so on).
    virtual void playSound(unsigned style) = 0;
};

Desktop& desktop();
// Installs `desktop` (not owned); nullptr restores the real one.
void setDesktop(Desktop* desktop);

// The sound-theme name of a message-box style: "dialog-information" for the asterisk.
QString soundName(unsigned style);

// Whether the user's desktop theme is a high-contrast one. GNOME and the GTK desktops
// switch to high contrast by theme, and no other desktop-wide signal reaches Qt.
bool highContrastTheme();

// Time for waits that must not run the event loop.
class WaitClock {
public:
    virtual ~WaitClock() = default;
    // Milliseconds of a monotonic clock.
    virtual qint64 elapsedMilliseconds() = 0;
    // Blocks the calling thread for `ms`; the system's clock ends early on a termination
    // signal (platform::sleepUnlessTerminated).
    virtual void sleepMilliseconds(int ms) = 0;
};
WaitClock& systemWaitClock();

struct IdleWaitOptions {
    int stepMs = 8000;                // how often the idle time is read
    qint64 minIdleMs = 10000;         // the user has paused...
    qint64 maxIdleMs = 60000;         // ...but is still at the machine
    qint64 limitMs = 30 * 60 * 1000;  // after this the wait gives up
};

enum class IdleWaitResult {
    UserIdle,     // the idle time came into the window
    IdleUnknown,  // the idle time could not be read
    TimedOut,     // the limit passed first
    Stopped,      // `stop` asked to end it
};

// Waits, without running the event loop, until the user has been idle for a short while:
// every step it sleeps, then reads the idle time, until it lies within
// [minIdleMs, maxIdleMs]. `stop`, when given, is asked before and after every sleep.
IdleWaitResult waitForIdleUser(Desktop& desktop, WaitClock& clock, const IdleWaitOptions& options = {},
                               const std::function<bool()>& stop = {});

}  // namespace platform
