#include "launcher/reminders/Reminders.h"

#include "launcher/reminders/EngineRemoval.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/Clock.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "platform/text/Format.h"

#include <QDir>
#include <QProcess>

using namespace engine;

namespace launcher {

namespace {

const QString kRegStatus = QStringLiteral("RegStatus");
const QString kRemindTime = QStringLiteral("RemindTime");

// The entry's file name: the link name with each of \ / : * ? " < > | made '_'.
QString EntryName(const QString& linkName)
{
    QString name = linkName;
    for (QChar c : QStringLiteral("\\/:*?\"<>|"))
        name.replace(c, u'_');
    return name;
}

}  // namespace

Reminders::Reminders(RegWind& window) : window_(window), clock_(&Clock::System()) {}

void Reminders::SetClock(const Clock* clock)
{
    clock_ = clock != nullptr ? clock : &Clock::System();
}

bool Reminders::IsReminderDue()
{
    if (!window_.OpenRegistryKey())
        return false;
    const std::optional<platform::RegValue> status = EngineRegistryValue(kRegStatus);
    if (!status || status->type != platform::RegType::String || !status->text.startsWith(u'L'))
        return false;
    const std::optional<platform::RegValue> time = EngineRegistryValue(kRemindTime);
    if (!time || (time->type != platform::RegType::DWord && time->type != platform::RegType::QWord))
        return false;
    const QByteArray bytes = time->rawBytes();
    if (bytes.size() <= 3)
        return false;
    qint64 due = 0;
    for (qsizetype i = qMin<qsizetype>(bytes.size(), 8) - 1; i >= 0; --i)
        due = (due << 8) | quint8(bytes[i]);
    if (due > clock_->CurrentTime())
        return false;
    EngineTrace(QStringLiteral("A reminder is due"));
    return true;
}

bool Reminders::StartMode(int mode)
{
    window_.ReadProductHeaders();
    if (mode == 0) {
        window_.GetSettings().reminderMode = true;
        return IsReminderDue();
    }
    if (mode == 1) {
        DeleteReminder();
        RemoveEverything();
        return false;
    }
    return true;
}

void Reminders::RemoveEverything()
{
    RemoveEngine();
    DeleteEngineRegistryKeys();
    if (window_.GetSettings().cleanupFlags & 0x8)
        RemovePrefsFileIfLast(window_.GetSettings().prefsFileName);
}

bool Reminders::ScheduleReminder(bool fromFinalPage)
{
    const RegWindSettings& settings = window_.GetSettings();
    RegisterLaterRequest request;
    request.intervalMinutes = long(settings.reminderDays) * 1440;
    if (const std::optional<long> test = keeper_.TestMinutes(); test && *test >= 1 && *test <= 999)
        request.intervalMinutes = *test;
    window_.ReadProductHeaders();
    request.templateId = settings.reminderDialogId != 0 ? settings.reminderDialogId : 2100;
    request.productCode = window_.FieldValue(FourCC("PROD"));
    request.productName = window_.FieldValue(FourCC("PRNM"));
    request.reminderDays = settings.reminderDays;
    request.answerLetter = window_.GetLastStatus();
    request.fromFinalPage = fromFinalPage;
    request.linkName = LinkName();
    request.regKey = settings.regKey;
    request.language = LanguageText();
    request.arguments = window_.GetPassThroughText();
    if (!dialog_) {
        EngineTrace(QStringLiteral("ScheduleReminder: there is no register-later dialog"));
        return false;
    }
    const int result = dialog_(request);
    if (result == RegisterLaterResult::ExitRegistration) {
        DeleteReminder();
        if (settings.cleanupFlags & 0x2)
            RemoveEverything();
    }
    return result != RegisterLaterResult::RegisterNow;
}

void Reminders::SetReminder()
{
    const long minutes = long(window_.GetSettings().reminderDays) * 1440;
    window_.ReadProductHeaders();
    CreateReminderShortcut(LinkName(), LanguageText(), window_.GetPassThroughText(), window_.GetSettings().regKey);
    SaveRemindTime(minutes);
    SetEngineRegistryValue(kRegStatus, platform::RegValue::fromString(QStringLiteral("L")));
}

void Reminders::DeleteReminder()
{
    window_.ReadProductHeaders();
    DeleteReminder(LinkName());
}

void Reminders::DeleteReminder(const QString& linkName)
{
    if (GetReminderShortcutPath(linkName).isEmpty())
        return;
    platform::removeAutostartEntry(EntryName(linkName));
    if (IsEngineRegistryKeyOpen()) {
        platform::Registry::removeValue(platform::RootKey::CurrentUser, EngineRegistryKeyPath(), kRemindTime);
    }
}

QString Reminders::GetReminderShortcutPath(const QString& linkName)
{
    return platform::autostartEntryPath(EntryName(linkName));
}

QStringList Reminders::ReminderArguments(const QString& language, const QString& arguments,
                                         const FourCC& regKey) const
{
    QStringList args{QStringLiteral("/remind")};
    if (!language.isEmpty())
        args << QStringLiteral("/language=") + language;
    if (!arguments.isEmpty())
        args << QProcess::splitCommand(arguments);
    const QString code = FieldCodeToString(regKey);
    // An argument vector needs no quotes around the value, nor escapes inside it.
    if (!arguments.contains(u'/' + code + u'='))
        args << u'/' + code + u'=' + window_.FieldValue(regKey);
    return args;
}

void Reminders::CreateReminderShortcut(const QString& linkName, const QString& language, const QString& arguments,
                                       const FourCC& regKey)
{
    if ((window_.GetSettings().reminderFlags & 0x2) == 0)
        return;
    if (!platform::writeAutostartEntry(EntryName(linkName), platform::modulePath(),
                                       ReminderArguments(language, arguments, regKey), linkName))
        EngineTrace(platform::formatText(QStringLiteral("Unable to write the reminder entry %s"),
                                         GetReminderShortcutPath(linkName)));
}

void Reminders::SaveRemindTime(long minutes)
{
    if ((window_.GetSettings().reminderFlags & 0x1) == 0)
        return;
    if (const std::optional<long> test = keeper_.TestMinutes(); test && *test > 0)
        minutes = *test;
    const qint64 due = clock_->CurrentTime() + qint64(minutes) * 60;
    SetEngineRegistryValue(kRemindTime, platform::RegValue::fromQWord(quint64(due)));
}

QString Reminders::LinkName() const
{
    QString link = window_.GetSettings().reminderLink;
    window_.SubstituteFieldTags(link, false);
    return link;
}

QString Reminders::LanguageText() const
{
    const ScriptReader* reader = window_.GetScriptReader();
    return reader != nullptr ? reader->GetLanguage().GetString() : QString();
}

}  // namespace launcher
