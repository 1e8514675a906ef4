#include "platform/desktop/Desktop.h"

#include "platform/desktop/LinuxDesktop.h"
#include "platform/text/Ascii.h"
#include "platform/ui/Ui.h"

#include <chrono>

namespace platform {
namespace {

Desktop* g_desktop = nullptr;

class SystemWaitClock final : public WaitClock {
public:
    qint64 elapsedMilliseconds() override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // A logout must not wait for the rest of a step: the sleep ends when a termination
    // signal comes, and the wait's `stop` then ends the wait.
    void sleepMilliseconds(int ms) override { sleepUnlessTerminated(ms); }
};

}  // namespace

Desktop& desktop()
{
    static LinuxDesktop linuxDesktop;
    return g_desktop ? *g_desktop : linuxDesktop;
}

void setDesktop(Desktop* desktop)
{
    g_desktop = desktop;
}

// Names from the freedesktop sound theme's naming.
QString soundName(unsigned style)
{
    switch (style & mb::IconMask) {
    case mb::IconHand: return QStringLiteral("dialog-error");
    case mb::IconQuestion: return QStringLiteral("dialog-question");
    case mb::IconExclamation: return QStringLiteral("dialog-warning");
    case mb::IconAsterisk: return QStringLiteral("dialog-information");
    default: return QStringLiteral("bell");
    }
}

bool highContrastTheme()
{
    return asciiLower(qEnvironmentVariable("GTK_THEME")).startsWith(QStringLiteral("highcontrast"));
}

WaitClock& systemWaitClock()
{
    static SystemWaitClock clock;
    return clock;
}

// The window is there so the balloon comes while the user is at the machine but has
// paused. A user who stays away or keeps working would hold the run forever, so the
// limit ends the wait and the caller shows the balloon anyway.
IdleWaitResult waitForIdleUser(Desktop& desktop, WaitClock& clock, const IdleWaitOptions& options,
                               const std::function<bool()>& stop)
{
    const qint64 started = clock.elapsedMilliseconds();
    for (;;) {
        if (stop && stop())
            return IdleWaitResult::Stopped;
        clock.sleepMilliseconds(options.stepMs);
        if (stop && stop())
            return IdleWaitResult::Stopped;
        const qint64 idle = desktop.idleMilliseconds();
        if (idle < 0)
            return IdleWaitResult::IdleUnknown;
        if (idle >= options.minIdleMs && idle <= options.maxIdleMs)
            return IdleWaitResult::UserIdle;
        if (clock.elapsedMilliseconds() - started >= options.limitMs)
            return IdleWaitResult::TimedOut;
    }
}

}  // namespace platform
