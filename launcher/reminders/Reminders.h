#pragma once

#include "launcher/reminders/ReminderKeeper.h"

#include "regengine/core/FourCC.h"

#include <QString>

#include <functional>

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
    QString language;
    QString arguments;
};

// The register-later dialog's results the window acts on.
namespace RegisterLaterResult {
constexpr int RegisterNow = 1;
constexpr int ExitRegistration = 4;
}  // namespace RegisterLaterResult

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
    // With reminder flag 0x2: the entry starting this program with "/remind", the
    // language, the reminder arguments and the REGKEY field.
    void CreateReminderShortcut(const QString& linkName, const QString& language, const QString& arguments,
                                const engine::FourCC& regKey);
    // The argument vector of the entry.
    QStringList ReminderArguments(const QString& language, const QString& arguments,
                                  const engine::FourCC& regKey) const;
    // With reminder flag 0x1: "RemindTime" = now + minutes (a positive "TestVals" number
    // of minutes in its place).
    void SaveRemindTime(long minutes);

    // The register-later dialog; none until one is given (the window then stays).
    void SetDialog(Dialog dialog) { dialog_ = std::move(dialog); }
    // The time now; null restores the system's.
    void SetClock(const engine::Clock* clock);

    // The engine's data and registry keys and, with cleanup flag 8, the prefs file when no
    // other product uses it.
    void RemoveEverything();

private:
    QString LinkName() const;
    QString LanguageText() const;

    RegWind& window_;
    ReminderKeeper keeper_;
    Dialog dialog_;
    const engine::Clock* clock_;
};

}  // namespace launcher
