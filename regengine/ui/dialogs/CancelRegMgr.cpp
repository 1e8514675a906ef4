#include "regengine/ui/dialogs/CancelRegMgr.h"

#include "ui_CancelRegMgr.h"

#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/display/DialogItem.h"

#include "platform/text/Format.h"

namespace engine {

namespace {
enum Button { RegisterNow = 1, Cancel = 2, ExitRegistration = 3, RemindMe = 4 };
constexpr int kQuestionItem = 1018;
constexpr const char* kQuestion =
    "Are you sure you want to cancel the registration process? Registration usually takes less than two minutes "
    "and will ensure that you are kept informed about out new products and special offers.";
}  // namespace

CancelRegMgr::CancelRegMgr(int templateId, int reminderMinutes, int reminderDays, QWidget* parent,
                           ReminderKeeper* keeper)
    : BetterDialog(templateId, parent), ui_(std::make_unique<Ui::CancelRegMgr>()),
      keeper_(keeper != nullptr ? keeper : &ownKeeper_), reminderMinutes_(reminderMinutes), reminderDays_(reminderDays)
{
    ui_->setupUi(this);
}

CancelRegMgr::~CancelRegMgr() = default;

bool CancelRegMgr::OnInitDialog()
{
    BetterDialog::OnInitDialog();
    // An entry the script's table lacks keeps the template's English text: a button
    // without a label cannot be told from the others.
    const auto text = [](int n, const char* english) {
        QString out = QString::fromLatin1(english);
        ResolveStringRef(out, FourCC("CNCL"), n);
        return out;
    };
    setWindowTitle(text(1, "Product Registration"));
    SetWidgetText(Item(kQuestionItem), text(2, kQuestion));
    // The script's text is a pattern for the days, never a format of its own.
    SetWidgetText(Item(RemindMe), platform::formatText(text(3, "Remind me in %d days"), reminderDays_));
    SetWidgetText(Item(ExitRegistration), text(4, "Exit registration"));
    SetWidgetText(Item(RegisterNow), text(5, "Register Now"));
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
    default: BetterDialog::OnCommand(id); break;
    }
}

void CancelRegMgr::OnCancel()
{
    OnCommand(Cancel);
}

}  // namespace engine
