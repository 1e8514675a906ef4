#include "regengine/ui/dialogs/ReminderKeeper.h"

#include "regengine/core/Clock.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"

#include <QFileInfo>

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

QStringList SplitArgumentsText(const QString& text)
{
    QStringList items;
    QString item;
    bool inItem = false;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'\\' || text[i + 1] == u'"')) {
            item += text[++i];
            inItem = true;
        } else if (c == u'"') {
            quoted = !quoted;
            inItem = true;
        } else if (!quoted && (c == u' ' || c == u'\t')) {
            if (inItem)
                items << item;
            item.clear();
            inItem = false;
        } else {
            item += c;
            inItem = true;
        }
    }
    if (inItem)
        items << item;
    return items;
}

void ReminderKeeper::SetReminderFlags(quint32 flags)
{
    g_reminderFlags = flags;
}

quint32 ReminderKeeper::ReminderFlags()
{
    return g_reminderFlags;
}

ReminderKeeper::ReminderKeeper() : clock_(&Clock::System())
{
    const std::optional<platform::RegValue> value =
        platform::Registry::value(platform::RootKey::CurrentUser, TestValuesKeyPath(), QStringLiteral("TestVals"));
    // At most 100 bytes of UTF-16 are read, the terminator among them.
    if (value && value->type == platform::RegType::String)
        testValues_ = value->text.left(49);
}

QString ReminderKeeper::TestValuesKeyPath()
{
    return QStringLiteral("Software\\Veldora\\Veldora");
}

std::optional<long> ReminderKeeper::TestMinutes() const
{
    if (testValues_.size() <= 2)
        return std::nullopt;
    const QStringList parts = testValues_.simplified().split(u' ');
    if (parts.size() < 3)
        return std::nullopt;
    bool ok = false;
    const long minutes = parts[2].toLong(&ok);
    if (!ok)
        return std::nullopt;
    return minutes;
}

void ReminderKeeper::SetClock(const Clock* clock)
{
    clock_ = clock != nullptr ? clock : &Clock::System();
}

QString ReminderKeeper::GetReminderShortcutPath(const QString& linkName)
{
    return platform::autostartEntryPath(EntryName(linkName));
}

QStringList ReminderKeeper::ReminderArguments(const LangCode& language, const QString& arguments, const FourCC& regKey)
{
    QStringList argv{QStringLiteral("/remind")};
    const QString lang = language.GetString();
    if (!lang.isEmpty() && !lang.contains(u'?'))
        argv << QStringLiteral("/language=") + lang;
    if (!arguments.isEmpty())
        argv << SplitArgumentsText(arguments);
    // Programs get their arguments as they are here, so the application name needs no
    // quotes around it, nor escapes inside it.
    const QString code = FieldCodeToString(regKey);
    if (!arguments.contains(u'/' + code + u'='))
        argv << u'/' + code + u'=' + EngineApplicationName();
    return argv;
}

bool ReminderKeeper::CreateReminderShortcut(const QString& linkName, const LangCode& language, const QString& arguments,
                                            const FourCC& regKey)
{
    if (!(g_reminderFlags & kCreateShortcut))
        return false;
    QString error;
    if (!platform::writeAutostartEntry(EntryName(linkName), platform::modulePath(),
                                       ReminderArguments(language, arguments, regKey), linkName, &error)) {
        EngineTrace(error);
        return false;
    }
    return true;
}

void ReminderKeeper::SaveRemindTime(long minutes)
{
    if (!(g_reminderFlags & kWriteRemindTime))
        return;
    if (const std::optional<long> test = TestMinutes(); test && *test > 0)
        minutes = *test;
    const qint64 due = clock_->CurrentTime() + qint64(minutes) * 60;
    SetEngineRegistryValue(QStringLiteral("RemindTime"), platform::RegValue::fromQWord(quint64(due)));
}

void ReminderKeeper::DeleteReminder(const QString& linkName)
{
    const QString path = GetReminderShortcutPath(linkName);
    if (path.isEmpty())
        return;
    // No entry to remove is the usual case; only one left in place is worth a trace.
    QString error;
    if (!platform::removeAutostartEntry(EntryName(linkName), &error) && QFileInfo::exists(path))
        EngineTrace(error);
    if (IsEngineRegistryKeyOpen())
        platform::Registry::removeValue(platform::RootKey::CurrentUser, EngineRegistryKeyPath(),
                                        QStringLiteral("RemindTime"));
}

void ReminderKeeper::WriteRegStatus(QChar letter)
{
    SetEngineRegistryValue(QStringLiteral("RegStatus"),
                           platform::RegValue::fromString(RegStatusText(letter, clock_->CurrentTime())));
}

}  // namespace engine
