#pragma once

#include <QString>

#include <functional>

namespace platform {

// Message box styles and results, with the values the callers were written against.
namespace mb {
constexpr unsigned Ok = 0x0, OkCancel = 0x1, AbortRetryIgnore = 0x2, YesNoCancel = 0x3, YesNo = 0x4, RetryCancel = 0x5,
                   TypeMask = 0xF;
constexpr unsigned IconHand = 0x10, IconQuestion = 0x20, IconExclamation = 0x30, IconAsterisk = 0x40, IconMask = 0xF0;
constexpr unsigned DefButton2 = 0x100, DefButton3 = 0x200, DefMask = 0xF00;
}  // namespace mb
namespace id {
constexpr int Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7;
}

// Where message boxes and beeps go. The default shows real dialogs when the program has a
// display and otherwise writes the text to stderr and answers with the default button,
// so nothing ever blocks headless. Tests install their own.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows `text` and returns the id of the button chosen.
    virtual int messageBox(const QString& text, const QString& caption, unsigned style) = 0;
    // Plays the sound of a message-box style (mb::IconHand and so on).
    virtual void beep(unsigned style) = 0;
};

MessageSink& messageSink();
// Installs `sink` (not owned); nullptr restores the default.
void setMessageSink(MessageSink* sink);

int messageBox(const QString& text, const QString& caption, unsigned style = mb::Ok);
void beep(unsigned style);

// A message box for a failure the user must hear of: the text also goes to stderr, the
// session's journal, exactly once, display or not. After a termination signal (a logout)
// no box is shown, as nobody is there to close it.
int alertUser(const QString& text, const QString& caption, unsigned style = mb::Ok);

// The button a headless answer takes: the default button of the style.
int defaultButton(unsigned style);

// Quit with an exit code. Qt drops QCoreApplication::exit() before exec() runs, so a quit
// is a posted event whose handler exits the loop; one posted early takes effect as soon as
// the loop starts.
void postQuit(int exitCode);
// True once a quit has been posted and not yet handled.
bool quitPending();
// The exit code of the last quit handled by the loop.
int lastQuitCode();

// Runs the event loop until `done` returns true, `timeoutMs` passes (negative: no limit)
// or `cancelled` (optional) returns true. A quit met meanwhile is held back and posted
// again when the wait ends, so it takes effect after the wait. Returns true when `done`.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = -1, const std::function<bool()>& cancelled = {});

// Calls `hook` whenever the event loop has gone idle, until the returned id is removed.
// Main thread only, once the application object exists; hooks do not run during pumpUntil.
int addIdleHook(const std::function<void()>& hook);
void removeIdleHook(int id);

// SIGTERM and SIGINT post a quit with code 0, so a logout ends the program in order.
void quitOnTerminationSignals();
// True once SIGTERM or SIGINT has come (after quitOnTerminationSignals): every wait
// should then end, so the loop can take the quit. A quit the program posts itself waits
// for the end of a wait, as pumpUntil says.
bool terminationRequested();
// Blocks the calling thread for `ms`, without running the event loop; returns early, and
// false, when a termination signal comes or has come.
bool sleepUnlessTerminated(int ms);

// True when the program runs without a display (offscreen or minimal platform).
bool isHeadless();

// Before the application object exists: where the environment asks for no platform and
// names no display, or only an X display that may be gone, Qt is let fall back to the
// offscreen platform, where it would otherwise abort.
void prepareDisplayFallback();
// Once the application object exists: true when that fallback was taken, so the program
// has no display. The environment is put back as it was, for the programs it starts.
bool displayFallbackTaken();

// Qt frees fontconfig's configuration as the application object goes, and in a run that
// never laid out text it loads the whole configuration first (every configuration file and
// font cache, as much work as starting Qt) only to free it. Called just before the
// application object goes, this hands Qt an empty configuration to free instead. Nothing
// may lay out text afterwards, and no other thread may be using fontconfig.
void releaseFontConfiguration();

}  // namespace platform
