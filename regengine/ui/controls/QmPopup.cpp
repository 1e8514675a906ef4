#include "regengine/ui/controls/QmPopup.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/QmRect.h"
#include "regengine/ui/controls/QmCombo.h"

#include "platform/text/Format.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace engine {

namespace {

constexpr int kPopupKind = 3;
constexpr qsizetype kTitleLimit = 127;
constexpr qsizetype kNoSelectionLimit = 254;
constexpr qsizetype kValidatedLength = 99;

}  // namespace

QmPopup::QmPopup(QmStrStream& script, QmWind* parent, const QmStringList& list)
    : QmPushButton(script, parent, kPopupKind)
{
    QString title = GetText().left(kTitleLimit);
    if (title == u"_")
        title.clear();
    SetText(title);
    noSelection_ = title;
    Fill(list);
}

QmPopup::QmPopup(const FourCC& code, const QmRect& rect, int id, int command, quint32 flags, QmWind* parent)
    : QmPushButton(code, rect, false, id, command, flags, parent, kPopupKind)
{}

QmPopup::~QmPopup() = default;

void QmPopup::Fill(const QmStringList& list)
{
    menu_.clear();
    items_.clear();
    values_.RemoveAll();
    SetDisplayName(list.GetName());
    itemCount_ = list.GetCount();
    const bool hidden = GetFlags() & QmChoiceFlag::HiddenValues;
    QMenu* into = &menu_;
    QString submenu;
    int column = 0;
    for (int i = 0; i < list.GetCount(); ++i) {
        QString text = *list.GetItem(i);
        if (text.startsWith(QStringLiteral("->"))) {
            submenu = text.mid(2);
            into = menu_.addMenu(submenu);
            if (hidden)
                values_.AddString(submenu);
            continue;
        }
        if (text.startsWith(QStringLiteral("--"))) {
            into = &menu_;
            if (hidden)
                values_.AddString(text.mid(2));
            submenu.clear();
            continue;
        }
        if (text.startsWith(QStringLiteral("-|"))) {
            text = text.mid(2);
            ++column;
            // Qt menus have no column break; the new column begins after a separator.
            into->addSeparator();
        }
        if (hidden) {
            const qsizetype caret = text.indexOf(u'^');
            values_.AddString(caret < 0 ? text : text.mid(caret + 1));
            if (caret >= 0)
                text = text.left(caret);
        }
        const int id = i + 1;
        if (id > kMaxItemId)
            continue;
        QAction* action = into->addAction(text);
        connect(action, &QAction::triggered, this, [this, id] { Choose(id); });
        items_.insert(id, Item{action, column, submenu});
    }
    if (!hidden && list.GetCount() > 0)
        SetText(*list.GetItem(0));
    noSelection_ = GetText().left(kNoSelectionLimit);
}

QString QmPopup::MenuText(int id) const
{
    const auto it = items_.constFind(id);
    return it != items_.cend() && it->action ? it->action->text() : QString();
}

int QmPopup::FindMenuText(const QString& text) const
{
    for (int id = 1; id <= qMin(itemCount_, kMaxItemId); ++id) {
        if (items_.contains(id) && MenuText(id) == text)
            return id;
    }
    return 0;
}

int QmPopup::ColumnOf(int id) const
{
    return items_.value(id).column;
}

QString QmPopup::SubmenuOf(int id) const
{
    return items_.value(id).submenu;
}

void QmPopup::Choose(int id)
{
    if (id < 1 || id > kMaxItemId)
        return;
    SetText(MenuText(id));
    SetValue(id - 1);
    Notify(QmNotify::ItemChosen, id);
    PerformEvent(AttachEvent::ValueSet);
}

void QmPopup::SetTextNotify(const QString& text)
{
    const bool hidden = GetFlags() & QmChoiceFlag::HiddenValues;
    const int positions = hidden ? values_.GetCount() : itemCount_;
    int found = -1;
    int fallback = -1;
    for (int i = 0; i < positions && found < 0; ++i) {
        if (hidden) {
            if (*values_.GetItem(i) == text)
                found = i;
            else if (fallback < 0 && items_.contains(i + 1) && MenuText(i + 1) == text)
                fallback = i;
        } else if (items_.contains(i + 1) && MenuText(i + 1) == text) {
            found = i;
        }
    }
    if (found < 0)
        found = fallback >= 0 ? fallback : 0;
    QmWind::SetTextNotify(text);
    SetValue(found);
}

QString QmPopup::GetValue() const
{
    return GetText();
}

void QmPopup::GetValueAndStored(QString& value, std::optional<QString>* stored) const
{
    value = GetValue();
    if (stored == nullptr)
        return;
    if (GetFlags() & QmChoiceFlag::HiddenValues) {
        const QString* hidden = values_.GetItem(Value());
        *stored = hidden != nullptr ? *hidden : QString();
    } else {
        stored->reset();
    }
}

int QmPopup::SetValue(int value)
{
    const int old = QmPushButton::SetValue(value);
    SetText(MenuText(value + 1));
    return old;
}

bool QmPopup::Validate()
{
    Constraint* constraint = GetConstraint();
    if (constraint != nullptr && (constraint->GetFlags() & ConstraintFlag::Required) &&
        GetValue().left(kValidatedLength) == noSelection_) {
        constraint->ReportError(
            platform::formatText(ConstraintText(7, QStringLiteral("A selection must be made from the %s popup menu.")),
                                 GetDisplayName()),
            ConstraintText(2, QStringLiteral("Required")));
        return false;
    }
    return PerformEvent(AttachEvent::Validated);
}

void QmPopup::OpenMenu()
{
    menu_.popup(mapToGlobal(QPoint(0, 0)));
    setDown(false);
}

void QmPopup::Pressed() {}

void QmPopup::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    OpenMenu();
    event->accept();
}

void QmPopup::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void QmPopup::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right: event->accept(); return;
    default: QmPushButton::keyPressEvent(event);
    }
}

void QmPopup::keyReleaseEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!event->isAutoRepeat())
            OpenMenu();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right: focusNextPrevChild(event->key() == Qt::Key_Right); return;
    default: QmPushButton::keyReleaseEvent(event);
    }
}

}  // namespace engine
