#include "client/ui/WarningDlg.h"

#include "ui_WarningDlg.h"

#include <QStyle>

namespace client {

CWarningDlg::CWarningDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CWarningDlg>())
{
    ui_->setupUi(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    ui_->icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    setFixedSize(sizeHint());
}

CWarningDlg::~CWarningDlg() = default;

void CWarningDlg::done(int result)
{
    dontShowAgain = ui_->dontShowAgain->isChecked() ? 1 : 0;
    QDialog::done(result);
}

}  // namespace client
