#include "regengine/ui/dialogs/ReminderKeeper.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"

#include "platform/shell/Shell.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>

namespace engine {

namespace {

quint32 g_reminderFlags = 0;

QString EntryName(const QString& linkName)
{
    QString name = linkName;
    for (QChar& c : name)
        if (QStringView(u"\\/:*?\"<>|").contains(c))
            c = u'_';
    // A name of dots alone would leave the folder.
    if (name.isEmpty() || name == u"." || name == u"..")
        name = QStringLiteral("Registration");
    return name;
}

}  // namespace

void ReminderKeeper::SetReminderFlags(quint32 flags)
{
    g_reminderFlags = flags;
}

quint32 ReminderKeeper::ReminderFlags()
{
    return g_reminderFlags;
}

QString ReminderKeeper::GetReminderShortcutPath(const QString& linkName) const
{
    return platform::autostartEntryPath(EntryName(linkName));
}

bool ReminderKeeper::CreateReminderShortcut(const QString& linkName, const LangCode& language,
                                            const QString& arguments, const FourCC& regKey)
{
    if (!(g_reminderFlags & kCreateShortcut))
        return false;
    QStringList argv{QStringLiteral("/remind")};
    const QString lang = language.GetString();
    if (!lang.isEmpty() && !lang.contains(u'?'))
        argv << QStringLiteral("/language=") + lang;
    if (!arguments.isEmpty())
        argv << QProcess::splitCommand(arguments);
    // Programs get their arguments as they are here, so the application name needs no
    // quotes around it.
    if (!arguments.contains(u'/'))
        argv << u'/' + FieldCodeToString(regKey) + u'=' + EngineApplicationName();
    if (!platform::writeAutostartEntry(EntryName(linkName), platform::modulePath(), argv, linkName)) {
        EngineTrace(QStringLiteral("Unable to write the reminder's login entry"));
        return false;
    }
    return true;
}

void ReminderKeeper::SaveRemindTime(int minutes)
{
    if (!(g_reminderFlags & kWriteRemindTime))
        return;
    const qint64 due = QDateTime::currentSecsSinceEpoch() + qint64(minutes) * 60;
    SetEngineRegistryValue(QStringLiteral("RemindTime"), platform::RegValue::fromQWord(quint64(due)));
}

void ReminderKeeper::DeleteReminder(const QString& linkName)
{
    platform::removeAutostartEntry(EntryName(linkName));
    if (IsEngineRegistryKeyOpen())
        platform::Registry::removeValue(platform::RootKey::CurrentUser, EngineRegistryKeyPath(),
                                        QStringLiteral("RemindTime"));
}

void ReminderKeeper::WriteRegStatus(QChar letter)
{
    SetEngineRegistryValue(QStringLiteral("RegStatus"), platform::RegValue::fromString(QString(letter)));
}

}  // namespace engine
