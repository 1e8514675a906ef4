#include "regengine/ui/dialogs/CancelRegMgr.h"

#include "ui_CancelRegMgr.h"

#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/display/DialogItem.h"

#include "platform/text/Format.h"

namespace engine {

namespace {
enum Button { RegisterNow = 1, Cancel = 2, ExitRegistration = 3, RemindMe = 4 };
constexpr int kQuestionItem = 1018;
}  // namespace

CancelRegMgr::CancelRegMgr(int templateId, int reminderMinutes, int reminderDays, QWidget* parent,
                           ReminderKeeper* keeper)
    : BetterDialog(templateId, parent),
      ui_(std::make_unique<Ui::CancelRegMgr>()),
      keeper_(keeper != nullptr ? keeper : &ownKeeper_),
      reminderMinutes_(reminderMinutes),
      reminderDays_(reminderDays)
{
    ui_->setupUi(this);
}

CancelRegMgr::~CancelRegMgr() = default;

bool CancelRegMgr::OnInitDialog()
{
    BetterDialog::OnInitDialog();
    const FourCC table("CNCL");
    setWindowTitle(MakeStringFromTable(table, 1));
    SetWidgetText(Item(kQuestionItem), MakeStringFromTable(table, 2));
    // The script's text is a pattern for the days, never a format of its own.
    SetWidgetText(Item(RemindMe), platform::formatText(MakeStringFromTable(table, 3), reminderDays_));
    SetWidgetText(Item(ExitRegistration), MakeStringFromTable(table, 4));
    SetWidgetText(Item(RegisterNow), MakeStringFromTable(table, 5));
    if (hideCancel_) {
        if (QWidget* cancel = Item(Cancel))
            cancel->hide();
    }
    return true;
}

void CancelRegMgr::OnCommand(int id)
{
    switch (id) {
    case RegisterNow:
        result_ = 0;
        done(1);
        break;
    case ExitRegistration:
        keeper_->WriteRegStatus(answer_.isNull() ? QChar(u'N') : answer_);
        keeper_->DeleteReminder(shortcutName_);
        result_ = 4;
        done(2);
        break;
    // The reminder is this dialog's own answer; the base's end with code 4 must not run.
    case RemindMe:
        keeper_->CreateReminderShortcut(shortcutName_, language_, shortcutText_, regKey_);
        keeper_->SaveRemindTime(reminderMinutes_);
        keeper_->WriteRegStatus(u'L');
        result_ = 2;
        done(2);
        break;
    case Cancel:
        result_ = 1;
        done(1);
        break;
    default:
        BetterDialog::OnCommand(id);
        break;
    }
}

void CancelRegMgr::OnCancel()
{
    OnCommand(Cancel);
}

}  // namespace engine
