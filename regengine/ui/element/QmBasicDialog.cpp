#include "regengine/ui/element/QmBasicDialog.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>

namespace engine {

QmBasicDialog::QmBasicDialog(QmStrStream& script, QmWind* parent) : QWidget(ParentWindowOf(parent)), QmWind(parent)
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

// A page is no dialog, so Qt leaves Enter to the page: a key the focused control ignored
// comes up here. Without a default button (or with one that cannot be pressed now) it goes
// on to the window, which does nothing with it.
void QmBasicDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers others = event->modifiers() & ~Qt::KeypadModifier;
    auto* button = defaultButton_ != nullptr ? qobject_cast<QAbstractButton*>(defaultButton_->GetWindow()) : nullptr;
    if (!enter || others != Qt::NoModifier || button == nullptr || !button->isEnabled() || !button->isVisibleTo(this)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    // A held key presses once: a repeat must not run through page after page.
    if (!event->isAutoRepeat())
        button->click();
}

}  // namespace engine
