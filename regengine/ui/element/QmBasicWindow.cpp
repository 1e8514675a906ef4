#include "regengine/ui/element/QmBasicWindow.h"

namespace engine {

QmBasicWindow::QmBasicWindow(QmWind* parent) : QWidget(ParentWindowOf(parent)), QmWind(parent)
{
    SetWindow(this);
}

QmBasicWindow::~QmBasicWindow() = default;

void QmBasicWindow::CloseGroup() {}

}  // namespace engine
