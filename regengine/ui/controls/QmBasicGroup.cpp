#include "regengine/ui/controls/QmBasicGroup.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/QmControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QChildEvent>
#include <QFocusEvent>
#include <QKeyEvent>

namespace engine {

namespace {

constexpr qsizetype kMemberValueLimit = 256;

bool isTabItem(const QWidget* w, const QWidget* top)
{
    return (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(top) && w->window() == top;
}

}  // namespace

QmBasicGroup::QmBasicGroup(QmStrStream& script, QmWind* parent) : QmBasicWindow(parent)
{
    ReadWindowLine(script);
    quint32 flags = 0;
    if (script.readHex(flags))
        SetFlags(flags);
    SkipLineBlanks(script);
    if (script.peek() == u'"')
        SetLabel(ReadScriptToken(script));
    setFocusPolicy(Qt::NoFocus);
    if (GetFlags() & QmGroupFlag::Hidden)
        hide();
}

QmBasicGroup::~QmBasicGroup() = default;

void QmBasicGroup::SetTextNotify(const QString&) {}

QString QmBasicGroup::GetValue() const
{
    return {};
}

void QmBasicGroup::SetOneTabItem(bool on)
{
    oneTabItem_ = on;
    setFocusPolicy(on && (GetFlags() & QmGroupFlag::NoTabStop) == 0 ? Qt::TabFocus : Qt::NoFocus);
}

QWidget* QmBasicGroup::FirstTabMember() const
{
    for (QmWind* member : GetChildren()) {
        QWidget* w = member != nullptr ? member->GetWindow() : nullptr;
        if (w != nullptr && isTabItem(w, window()))
            return w;
    }
    return nullptr;
}

bool QmBasicGroup::FocusOutside(bool forward)
{
    const QWidget* top = window();
    QWidget* w = forward ? nextInFocusChain() : previousInFocusChain();
    while (w != nullptr && w != this) {
        if (!isAncestorOf(w) && isTabItem(w, top)) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    }
    return false;
}

// Members are watched from the moment they join, so the keyboard's way into the group is
// the group's own whichever member Qt's focus chain would reach first.
void QmBasicGroup::childEvent(QChildEvent* event)
{
    if (event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
    QmBasicWindow::childEvent(event);
}

// As in a dialog's group of buttons: the arrows step through the members that take the
// focus, wrapping at either end, and never out of the group (Tab does that). A radio group
// selects the member reached; the others only move the focus, Space then changes it.
bool QmBasicGroup::ArrowPressed(QObject* watched, const QKeyEvent& key)
{
    int step = 0;
    if (key.key() == Qt::Key_Up || key.key() == Qt::Key_Left)
        step = -1;
    else if (key.key() == Qt::Key_Down || key.key() == Qt::Key_Right)
        step = 1;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (step == 0 || (key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || button == nullptr ||
        button->parentWidget() != this || ArrowKeyRule() == ArrowKeys::Ignored)
        return false;
    QList<QWidget*> members;
    for (QmWind* member : GetChildren()) {
        QWidget* w = member != nullptr ? member->GetWindow() : nullptr;
        if (w != nullptr && (w == button || isTabItem(w, window())))
            members.append(w);
    }
    const qsizetype at = members.indexOf(button);
    if (at < 0)
        return false;
    QWidget* next = members[(at + step + members.size()) % members.size()];
    if (next != button)
        next->setFocus(Qt::OtherFocusReason);
    auto* nextButton = qobject_cast<QAbstractButton*>(next);
    if (ArrowKeyRule() == ArrowKeys::MoveAndSelect && nextButton != nullptr && !nextButton->isChecked())
        nextButton->click();
    return true;
}

bool QmBasicGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && ArrowPressed(watched, *static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() != QEvent::FocusIn)
        return QmBasicWindow::eventFilter(watched, event);
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
        return false;
    if (GetFlags() & QmGroupFlag::NoTabStop) {
        FocusOutside(reason == Qt::TabFocusReason);
        return false;
    }
    if (oneTabItem_) {
        QWidget* entry = EntryWidget();
        if (entry != nullptr && entry != watched)
            entry->setFocus(Qt::OtherFocusReason);
    }
    return false;
}

void QmBasicGroup::focusInEvent(QFocusEvent* event)
{
    QWidget* entry = oneTabItem_ ? EntryWidget() : nullptr;
    if (entry != nullptr && entry != this)
        entry->setFocus(Qt::OtherFocusReason);
    else
        QmBasicWindow::focusInEvent(event);
}

bool QmBasicGroup::focusNextPrevChild(bool next)
{
    QWidget* focused = QApplication::focusWidget();
    if (oneTabItem_ && focused != nullptr && isAncestorOf(focused))
        return FocusOutside(next) || QmBasicWindow::focusNextPrevChild(next);
    return QmBasicWindow::focusNextPrevChild(next);
}

QmMultiGroup::QmMultiGroup(QmStrStream& script, QmWind* parent) : QmBasicGroup(script, parent)
{
    if ((GetFlags() & QmGroupFlag::KeepBorder) == 0)
        RemoveBorder();
}

QString QmMultiGroup::GetValue() const
{
    QString joined;
    for (QmWind* member : GetChildren()) {
        if (member != nullptr)
            joined += member->GetValue().left(kMemberValueLimit);
    }
    return joined;
}

void QmMultiGroup::SetTextNotify(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size()) {
        QmWind* found = nullptr;
        QString value;
        for (QmWind* member : GetChildren()) {
            if (member == nullptr)
                continue;
            value = member->GetValue().left(kMemberValueLimit);
            if (!value.isEmpty() && QStringView(text).mid(at).startsWith(value)) {
                found = member;
                break;
            }
        }
        if (found == nullptr)
            return;
        if (auto* control = dynamic_cast<QmControl*>(found))
            control->SetValue(1);
        at += value.size();
    }
}

}  // namespace engine
