#include "regengine/ui/element/QmBasicWindow.h"

QmBasicWindow::QmBasicWindow(QmWind* parent) : QWidget(ParentWindowOf(parent)), QmWind(parent)
{
    SetWindow(this);
}

QmBasicWindow::~QmBasicWindow() = default;

void QmBasicWindow::CloseGroup() {}
