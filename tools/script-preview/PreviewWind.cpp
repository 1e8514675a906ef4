#include "PreviewWind.h"

#include "launcher/reminders/Reminders.h"

#include "regengine/core/FourCC.h"
#include "regengine/core/ModalWait.h"
#include "regengine/ui/dialogs/StatusDialog.h"

#include <QTextStream>

using namespace engine;

namespace preview {

PreviewWind::PreviewWind(QmStrStream& script) : OvexVaskStubRegWind(script)
{
    // The window's own dialog, with its answer printed as the window reads it.
    GetReminders().SetDialog([this](const launcher::RegisterLaterRequest& request) {
        const int answer = launcher::RunRegisterLaterDialog(request, GetReminders().GetKeeper(), this);
        QTextStream(stdout) << "register-later: answer " << answer << Qt::endl;
        return answer;
    });
}

PreviewWind::~PreviewWind() = default;

int PreviewWind::OnNotify(QmWind* source, int code, int value)
{
    switch (code) {
    case kOpenRegisterLater:
        return OvexVaskStubRegWind::OnNotify(source, launcher::RegCommand::ScheduleReminder, value);
    case kOpenStatus: OpenStatus(); return 1;
    default: return OvexVaskStubRegWind::OnNotify(source, code, value);
    }
}

QDialog* PreviewWind::OpenDialog() const
{
    if (status_ != nullptr && status_->isVisible())
        return status_.get();
    return nullptr;
}

void PreviewWind::OpenStatus()
{
    status_ = std::make_unique<StatusDialog>(StatusDialog::kDefaultTemplate, this);
    status_->CreateModeless();
    setEnabled(false);
    status_->SetCancelFlagPtr(CancelFlagPointer());
    if (Displayer* text = status_->SetTextItem(StatusDialog::kTextItem)) {
        text->SetClearFirst(true);
        text->WriteLine(QStringLiteral("Dialling the registration service..."));
    }
    status_->StartAnimation(StatusDialog::kIconItem, 2017, 2018);
}

std::unique_ptr<launcher::RegWind> CreatePreviewWind(QmStrStream& script)
{
    return std::make_unique<PreviewWind>(script);
}

}  // namespace preview
