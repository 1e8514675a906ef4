#include "client/ui/AboutDlg.h"

#include "ui_AboutDlg.h"

#include <QApplication>

namespace client {

CAboutDlg::CAboutDlg(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::CAboutDlg>())
{
    ui_->setupUi(this);
    ui_->icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace client
