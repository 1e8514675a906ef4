#pragma once

class QObject;

namespace engine {

// The engine's modal-wait support: the idle callback that animates a status window, the
// global cancel flag its Cancel button sets, the launcher's exit code that every quit the
// engine posts carries, and the pumping wait that honours all three.

// Called with `window` on every pass of PumpWhileBusy; null clears it.
using IdleCallback = void (*)(QObject* window);
void SetIdleCallback(IdleCallback callback, QObject* window);

// Set by the status dialog's Cancel, cleared by the registration window before a run.
int CancelFlag();
void SetCancelFlag(int value);
// The flag itself, for a dialog that sets it through a pointer.
int* CancelFlagPointer();

// The launcher's exit code: 31009 until a SetExitCode attachment sets it.
constexpr int kInitialExitCode = 31009;
int LauncherExitCode();
void SetLauncherExitCode(int code);
// Posts the quit that ends the launcher with its current exit code. Posted before the event
// loop runs, it ends the loop as soon as it starts.
void PostQuitWithExitCode();

// One pass of waiting: runs the idle callback; gives true at once, setting *cancelled to 1,
// when the cancel flag is set; otherwise handles the events that are waiting and gives false.
// A quit met meanwhile is held back and posted again, so it ends the program after the wait.
bool PumpWhileBusy(int* cancelled = nullptr);

}  // namespace engine
