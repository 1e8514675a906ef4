#include "launcher/reminders/Reminders.h"

#include "launcher/reminders/EngineRemoval.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/Clock.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/ui/dialogs/CancelRegMgr.h"

#include "platform/registry/Registry.h"

using namespace engine;

namespace launcher {

namespace {
const QString kRegStatus = QStringLiteral("RegStatus");
const QString kRemindTime = QStringLiteral("RemindTime");
}  // namespace

int RunRegisterLaterDialog(const RegisterLaterRequest& request, ReminderKeeper& keeper, QWidget* parent)
{
    CancelRegMgr dialog(request.templateId, int(request.intervalMinutes), request.reminderDays, parent, &keeper);
    if (!request.answerLetter.isNull())
        dialog.SetReminderAnswer(request.answerLetter);
    dialog.SetLanguage(request.language);
    dialog.SetShortcutText(request.arguments);
    // From the final page there is no page to go back to.
    dialog.SetHideCancel(request.fromFinalPage);
    dialog.SetShortcutName(request.linkName);
    dialog.SetRegKey(request.regKey);
    const int endCode = dialog.exec();
    if (dialog.GetResult() == RegisterLaterResult::ExitRegistration)
        return RegisterLaterResult::ExitRegistration;
    // A dialog that ended some other way leaves the user on the page.
    return endCode == RegisterLaterResult::ReminderSet ? RegisterLaterResult::ReminderSet
                                                       : RegisterLaterResult::RegisterNow;
}

Reminders::Reminders(RegWind& window)
    : window_(window), dialog_([this](const RegisterLaterRequest& request) {
          return RunRegisterLaterDialog(request, keeper_, &window_);
      }),
      clock_(&Clock::System())
{}

void Reminders::SetClock(const Clock* clock)
{
    clock_ = clock != nullptr ? clock : &Clock::System();
    keeper_.SetClock(clock_);
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
    request.language = Language();
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
    keeper_.CreateReminderShortcut(LinkName(), Language(), window_.GetPassThroughText(), window_.GetSettings().regKey);
    keeper_.SaveRemindTime(minutes);
    keeper_.WriteRegStatus(u'L');
}

void Reminders::DeleteReminder()
{
    window_.ReadProductHeaders();
    DeleteReminder(LinkName());
}

void Reminders::DeleteReminder(const QString& linkName)
{
    keeper_.DeleteReminder(linkName);
}

QString Reminders::GetReminderShortcutPath(const QString& linkName)
{
    return ReminderKeeper::GetReminderShortcutPath(linkName);
}

QString Reminders::LinkName() const
{
    QString link = window_.GetSettings().reminderLink;
    window_.SubstituteFieldTags(link, false);
    return link;
}

LangCode Reminders::Language() const
{
    const ScriptReader* reader = window_.GetScriptReader();
    return reader != nullptr ? reader->GetLanguage() : LangCode();
}

}  // namespace launcher
