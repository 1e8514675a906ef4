#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/core/LangCode.h"

#include <QChar>
#include <QString>

namespace engine {

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

    virtual ~ReminderKeeper() = default;

    // The entry's path for a link name ('\', '/', ':', '*', '?', '"', '<', '>', '|' become
    // '_'); empty when there is no Startup folder.
    virtual QString GetReminderShortcutPath(const QString& linkName) const;
    // With flag 0x2: the entry starting this program with "/remind", the language, the
    // reminder arguments and, unless they hold a slash already, the REGKEY item naming the
    // engine's application.
    virtual bool CreateReminderShortcut(const QString& linkName, const LangCode& language, const QString& arguments,
                                        const FourCC& regKey);
    // With flag 0x1: "RemindTime" = now + `minutes`, as seconds since 1970 in a QWORD.
    virtual void SaveRemindTime(int minutes);
    // The entry and the value "RemindTime".
    virtual void DeleteReminder(const QString& linkName);
    virtual void WriteRegStatus(QChar letter);
};

}  // namespace engine
