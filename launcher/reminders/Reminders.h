#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/core/LangCode.h"
#include "regengine/ui/dialogs/ReminderKeeper.h"

#include <QString>

#include <functional>

class QWidget;

namespace engine {
class Clock;
}

namespace launcher {

class RegWind;

// What the register-later dialog is given.
struct RegisterLaterRequest {
    int templateId = 2100;
    QString productCode;
    QString productName;
    long intervalMinutes = 0;
    int reminderDays = 0;
    QChar answerLetter;  // the window's last status letter, when there is one
    bool fromFinalPage = false;
    QString linkName;
    engine::FourCC regKey;
    engine::LangCode language;
    QString arguments;
};

// The register-later dialog's answers the window acts on: its end code 1 (register now,
// or cancelled) keeps the window, its result 4 (exit registration) ends the reminder.
namespace RegisterLaterResult {
constexpr int RegisterNow = 1;
constexpr int ReminderSet = 2;
constexpr int ExitRegistration = 4;
}  // namespace RegisterLaterResult

// Runs the engine's register-later dialog modally over `parent` and gives its answer.
int RunRegisterLaterDialog(const RegisterLaterRequest& request, engine::ReminderKeeper& keeper, QWidget* parent);

// The registration window's reminders to register later: the due time and status in the
// engine key, and a login autostart entry, in place of a Startup-folder shortcut, that
// starts the launcher with "/remind".
class Reminders {
public:
    using Dialog = std::function<int(const RegisterLaterRequest&)>;

    explicit Reminders(RegWind& window);

    // REMIND mode: whether a reminder is due now.
    bool IsReminderDue();
    // The start mode of the command line: REMIND (0) goes on only when a reminder is due,
    // UNINSTALL (1) removes the engine and never goes on, any other goes on.
    bool StartMode(int mode);
    // The register-later choice of the pages; true when the window is to close.
    bool ScheduleReminder(bool fromFinalPage);
    // Sets the reminder without asking.
    void SetReminder();
    // The reminder of the window's link name.
    void DeleteReminder();
    void DeleteReminder(const QString& linkName);

    // The autostart entry for `linkName`: the Startup folder and the name with each of
    // \ / : * ? " < > | made '_'; empty when there is no Startup folder.
    static QString GetReminderShortcutPath(const QString& linkName);

    // The register-later dialog; the engine's own until another is given.
    void SetDialog(Dialog dialog) { dialog_ = std::move(dialog); }
    engine::ReminderKeeper& GetKeeper() { return keeper_; }
    // The time now; null restores the system's.
    void SetClock(const engine::Clock* clock);

    // The engine's data and registry keys and, with cleanup flag 8, the prefs file when no
    // other product uses it.
    void RemoveEverything();

private:
    QString LinkName() const;
    engine::LangCode Language() const;

    RegWind& window_;
    engine::ReminderKeeper keeper_;
    Dialog dialog_;
    const engine::Clock* clock_;
};

}  // namespace launcher
