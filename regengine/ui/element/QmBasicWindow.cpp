#include "regengine/ui/element/QmBasicWindow.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/FieldNameSource.h"
#include "regengine/ui/element/ScreenInfo.h"

namespace engine {

QmBasicWindow::QmBasicWindow(QmWind* parent) : QWidget(ParentWindowOf(parent)), QmWind(parent)
{
    SetWindow(this);
}

QmBasicWindow::~QmBasicWindow() = default;

void QmBasicWindow::CloseGroup() {}

void QmBasicWindow::ReadWindowLine(QmStrStream& script)
{
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    qint32 id = 0;
    script.readInt(id);
    SetRect(rect);
    SetControlId(id);
    show();
}

QString EnclosingFieldDisplayName(const QmWind* element)
{
    if (element == nullptr)
        return {};
    for (const QmWind* up = element->GetParent(); up != nullptr; up = up->GetParent()) {
        if (const auto* source = dynamic_cast<const FieldNameSource*>(up))
            return source->GetFieldDisplayName(element->GetCode());
    }
    return {};
}

}  // namespace engine
