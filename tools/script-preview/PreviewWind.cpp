#include "PreviewWind.h"

#include "regengine/core/FourCC.h"
#include "regengine/core/ModalWait.h"
#include "regengine/ui/dialogs/CancelRegMgr.h"
#include "regengine/ui/dialogs/StatusDialog.h"

#include <QTextStream>

using namespace engine;

namespace preview {

namespace {
constexpr int kReminderDays = 14;
}

PreviewWind::PreviewWind(QmStrStream& script) : OvexVaskStubRegWind(script) {}

PreviewWind::~PreviewWind() = default;

int PreviewWind::OnNotify(QmWind* source, int code, int value)
{
    switch (code) {
    case kOpenRegisterLater: OpenRegisterLater(); return 1;
    case kOpenStatus: OpenStatus(); return 1;
    default: return OvexVaskStubRegWind::OnNotify(source, code, value);
    }
}

QDialog* PreviewWind::OpenDialog() const
{
    if (status_ != nullptr && status_->isVisible())
        return status_.get();
    if (registerLater_ != nullptr && registerLater_->isVisible())
        return registerLater_;
    return nullptr;
}

// Window-modal rather than a nested loop, so the preview's later options can press its
// buttons; the answer is printed as the window would read it.
void PreviewWind::OpenRegisterLater()
{
    auto* dialog = new CancelRegMgr(CancelRegMgr::kDefaultTemplate, kReminderDays * 1440, kReminderDays, this,
                                    &GetReminders().GetKeeper());
    QString linkName = GetSettings().reminderLink;
    SubstituteFieldTags(linkName, false);
    dialog->SetShortcutName(linkName);
    dialog->SetLanguage(LangCode("ENU"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog](int endCode) {
        QTextStream(stdout) << "register-later: result " << dialog->GetResult() << ", end code " << endCode
                            << Qt::endl;
    });
    registerLater_ = dialog;
    dialog->open();
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
