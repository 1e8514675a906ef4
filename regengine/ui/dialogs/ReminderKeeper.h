#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/core/LangCode.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

namespace engine {

class Clock;

// The items of an arguments text as the launcher's command line writes it for the reminder:
// blanks separate items, double quotes group, and a backslash makes the backslash or double
// quote after it part of the item (any other backslash is itself).
QStringList SplitArgumentsText(const QString& text);

// The bookkeeping of a reminder to register later: the due time "RemindTime" and the
// status "RegStatus" in the engine key, and the login-time entry that starts the launcher
// with "/remind". The register-later dialog and the registration window share it.
class ReminderKeeper {
public:
    // REMINDFLAGS: bit 0x1 writes "RemindTime", bit 0x2 creates the login-time entry.
    static constexpr quint32 kWriteRemindTime = 0x1;
    static constexpr quint32 kCreateShortcut = 0x2;
    static void SetReminderFlags(quint32 flags);
    static quint32 ReminderFlags();

    // Reads the test setting "TestVals" once.
    ReminderKeeper();
    virtual ~ReminderKeeper() = default;

    // The framework key under the current user that holds "TestVals".
    static QString TestValuesKeyPath();
    const QString& GetTestValues() const { return testValues_; }
    // The third of three numbers, in minutes, when the text is longer than 2 characters
    // and holds one.
    std::optional<long> TestMinutes() const;

    // The time now; null restores the system's.
    void SetClock(const Clock* clock);

    // The entry's path for a link name ('\', '/', ':', '*', '?', '"', '<', '>', '|' become
    // '_'); empty when there is no Startup folder.
    static QString GetReminderShortcutPath(const QString& linkName);
    // The entry's argument vector: "/remind", the language when one is set, the reminder
    // arguments and, unless they name it already, the REGKEY item naming the engine's
    // application.
    static QStringList ReminderArguments(const LangCode& language, const QString& arguments, const FourCC& regKey);
    // With flag 0x2: the entry starting this program with those arguments.
    virtual bool CreateReminderShortcut(const QString& linkName, const LangCode& language, const QString& arguments,
                                        const FourCC& regKey);
    // With flag 0x1: "RemindTime" = now + `minutes` (a positive "TestVals" number in its
    // place), as seconds since 1970 in a QWORD.
    virtual void SaveRemindTime(long minutes);
    // The entry and the value "RemindTime"; nothing without a Startup folder.
    virtual void DeleteReminder(const QString& linkName);
    // "RegStatus": the letter and the moment it was written.
    virtual void WriteRegStatus(QChar letter);

private:
    QString testValues_;
    const Clock* clock_;
};

}  // namespace engine
