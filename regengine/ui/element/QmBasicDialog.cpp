#include "regengine/ui/element/QmBasicDialog.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QPushButton>

namespace engine {

QmBasicDialog::QmBasicDialog(QmStrStream& script, QmWind* parent)
    : QWidget(ParentWindowOf(parent)), QmWind(parent)
{
    SetWindow(this);
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    // The number has no use on a page; a line without it keeps the rest readable.
    qint32 unused = 0;
    if (!script.readInt(unused) && !script.eof())
        script.clear();
    SetRect(rect);
}

QmBasicDialog::~QmBasicDialog() = default;

void QmBasicDialog::SetDefaultButton(QmWind* element)
{
    if (element == nullptr || element->GetControlId() == 0)
        return;
    defaultButton_ = element;
    MarkDefault();
}

void QmBasicDialog::MarkDefault()
{
    if (defaultButton_ == nullptr || defaultButton_->GetControlId() == 0)
        return;
    if (auto* button = qobject_cast<QPushButton*>(defaultButton_->GetWindow()))
        button->setDefault(true);
}

void QmBasicDialog::FocusFirst()
{
    MarkDefault();
    for (QWidget* w = nextInFocusChain(); w != nullptr && w != this; w = w->nextInFocusChain()) {
        if (isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(this)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

}  // namespace engine
