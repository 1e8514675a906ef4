#include "regengine/core/ModalWait.h"

#include "platform/ui/Ui.h"

namespace engine {

namespace {

struct WaitGlobals {
    IdleCallback idle = nullptr;
    QObject* idleWindow = nullptr;
    int cancel = 0;
    int exitCode = kInitialExitCode;
};

WaitGlobals& globals()
{
    static WaitGlobals g;
    return g;
}

}  // namespace

void SetIdleCallback(IdleCallback callback, QObject* window)
{
    globals().idle = callback;
    globals().idleWindow = window;
}

int CancelFlag()
{
    return globals().cancel;
}

void SetCancelFlag(int value)
{
    globals().cancel = value;
}

int* CancelFlagPointer()
{
    return &globals().cancel;
}

int LauncherExitCode()
{
    return globals().exitCode;
}

void SetLauncherExitCode(int code)
{
    globals().exitCode = code;
}

void PostQuitWithExitCode()
{
    platform::postQuit(globals().exitCode);
}

bool PumpWhileBusy(int* cancelled)
{
    WaitGlobals& g = globals();
    if (g.idle != nullptr)
        g.idle(g.idleWindow);
    if (g.cancel != 0) {
        if (cancelled != nullptr)
            *cancelled = 1;
        return true;
    }
    // One pass over the events already waiting, blocking a few milliseconds at most when there
    // are none. The layer holds back a quit met here and posts it again as the pass ends;
    // every quit the engine posts carries the launcher's exit code of that moment.
    bool passed = false;
    platform::pumpUntil(
        [&passed] {
            const bool done = passed;
            passed = true;
            return done;
        },
        5);
    return false;
}

}  // namespace engine
