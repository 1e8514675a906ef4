#include "launcher/registration/StatusWindow.h"

#include "regengine/core/Displayer.h"
#include "regengine/core/ModalWait.h"
#include "regengine/ui/dialogs/StatusDialog.h"

using namespace engine;

namespace launcher {

namespace {
void Animate(QObject* dialog)
{
    if (auto* status = dynamic_cast<StatusDialog*>(dialog))
        status->Animate();
}
}  // namespace

StatusWindow::StatusWindow(QWidget* window) : window_(window) {}

StatusWindow::~StatusWindow()
{
    End();
}

Displayer* StatusWindow::Begin()
{
    End();
    dialog_ = std::make_unique<StatusDialog>(StatusDialog::kDefaultTemplate, window_);
    dialog_->CreateModeless();
    dialog_->SetCancelFlagPtr(CancelFlagPointer());
    dialog_->StartAnimation(StatusDialog::kIconItem, kFirstIcon, kLastIcon);
    SetIdleCallback(&Animate, dialog_.get());
    Displayer* text = dialog_->SetTextItem(StatusDialog::kTextItem);
    if (text != nullptr)
        text->SetClearFirst(true);
    return text;
}

void StatusWindow::End()
{
    if (dialog_ == nullptr)
        return;
    SetIdleCallback(nullptr, nullptr);
    dialog_->DestroyWindow();
    dialog_.reset();
}

}  // namespace launcher
