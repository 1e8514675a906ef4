#include "regengine/ui/element/QmWind.h"

#include "regengine/core/Constraint.h"
#include "regengine/ui/display/DialogItem.h"
#include "regengine/ui/graphics/QmFont.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextEdit>

#include <limits>

namespace engine {

namespace {

quint32 g_defaultFlags = 0;

// Selects from `start` to `end` in a text document; -1 as the end means its end.
template <typename Edit>
void selectInDocument(Edit* edit, int start, int end)
{
    QTextCursor cursor = edit->textCursor();
    const int length = int(edit->toPlainText().size());
    if (start < 0) {
        cursor.clearSelection();
    } else {
        const int from = qMin(start, length);
        const int to = end < 0 ? length : qMin(end, length);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
    }
    edit->setTextCursor(cursor);
}

}  // namespace

int LeadingDecimal(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i].unicode() >= 9 && text[i].unicode() <= 13)))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 n = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        n = n * 10 + (text[i].unicode() - u'0');
        if (n > qint64(std::numeric_limits<int>::max()) + 1)
            break;
    }
    if (negative)
        n = -n;
    return int(qBound(qint64(std::numeric_limits<int>::min()), n, qint64(std::numeric_limits<int>::max())));
}

QString WindowText(const QWidget* window)
{
    if (window == nullptr)
        return {};
    if (const auto* edit = qobject_cast<const QLineEdit*>(window))
        return edit->text();
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(window))
        return edit->toPlainText();
    if (const auto* edit = qobject_cast<const QTextEdit*>(window))
        return edit->toPlainText();
    if (const auto* label = qobject_cast<const QLabel*>(window))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(window))
        return button->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(window))
        return combo->currentText();
    if (const auto* box = qobject_cast<const QGroupBox*>(window))
        return box->title();
    return window->windowTitle();
}

void SetWindowText(QWidget* window, const QString& text)
{
    if (window == nullptr)
        return;
    if (auto* combo = qobject_cast<QComboBox*>(window)) {
        if (combo->isEditable())
            combo->setEditText(text);
        else
            combo->setCurrentIndex(combo->findText(text));
        return;
    }
    if (auto* box = qobject_cast<QGroupBox*>(window)) {
        box->setTitle(text);
        return;
    }
    if (!SetWidgetText(window, text))
        window->setWindowTitle(text);
}

QmWind::QmWind()
{
    Reset();
}

QmWind::QmWind(QmWind* parent)
{
    Reset();
    if (parent != nullptr) {
        parent->AddChild(this);
        parent_ = parent;
    }
}

QmWind::~QmWind()
{
    lock_ = true;
    // Each child is taken out before it is destroyed, so a child that does not name this
    // element as its parent cannot leave a dangling entry behind.
    while (children_.GetCount() > 0) {
        QmWind* child = *children_.At(0);
        children_.RemoveAt(0);
        if (child != nullptr) {
            child->parent_ = nullptr;
            delete child;
        }
    }
    if (parent_ != nullptr)
        parent_->RemoveChild(this);
    parent_ = nullptr;
    stored_.reset();
    hint_.reset();
    // Here rather than in ~Attachable, so attachments told of the end still see an element.
    DestroyHooks();
}

QmRect QmWind::GetRect() const
{
    if (window_ == nullptr)
        return {};
    const QRect g = window_->geometry();
    return QmRect(g.x(), g.y(), g.x() + g.width(), g.y() + g.height());
}

void QmWind::SetRect(const QmRect& rect)
{
    if (window_ == nullptr)
        return;
    window_->setGeometry(rect.left, rect.top, qMax(0, rect.right - rect.left), qMax(0, rect.bottom - rect.top));
}

void QmWind::OffsetBy(int dx, int dy)
{
    QmRect r = GetRect();
    r.Set(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);
    SetRect(r);
}

void QmWind::MoveTo(int x, int y)
{
    const QmRect r = GetRect();
    OffsetBy(x - r.left, y - r.top);
}

void QmWind::Resize(int width, int height)
{
    QmRect r = GetRect();
    r.right = r.left + width;
    r.bottom = r.top + height;
    SetRect(r);
}

bool QmWind::IsVisible() const
{
    return true;
}

bool QmWind::Show(bool show)
{
    const bool visible = IsVisible();
    if (window_ != nullptr)
        window_->setVisible(show);
    return visible;
}

FourCC QmWind::GetCode() const
{
    return code_;
}

void QmWind::SetCode(const FourCC& code)
{
    code_ = code;
}

void QmWind::SetText(const QString& text)
{
    if (window_ != nullptr)
        SetWindowText(window_, text);
    if ((flags_ & QmFlag::TextIsHint) && !hint_)
        SetHint(text);
}

QString QmWind::GetText() const
{
    return window_ != nullptr ? WindowText(window_) : QString();
}

void QmWind::SetTextNotify(const QString& text)
{
    SetText(text);
    PerformEvent(AttachEvent::ValueSet);
}

int QmWind::GetInt() const
{
    return LeadingDecimal(GetValue());
}

void QmWind::GetValueAndStored(QString& value, std::optional<QString>* stored) const
{
    value = GetValue();
    if (stored != nullptr)
        *stored = stored_;
}

QString QmWind::GetValue() const
{
    return GetText();
}

std::optional<QString> QmWind::GetStoredValue() const
{
    return stored_;
}

QString QmWind::GetDisplayName() const
{
    return displayName_.isEmpty() ? FieldCodeToString(code_) : displayName_;
}

void QmWind::SetControlId(int id)
{
    if (window_ != nullptr)
        window_->setProperty(kDialogItemIdProperty, id);
}

int QmWind::GetControlId() const
{
    return window_ != nullptr ? window_->property(kDialogItemIdProperty).toInt() : 0;
}

int QmWind::OnNotify(QmWind* source, int code, int value)
{
    return parent_ != nullptr ? parent_->OnNotify(source, code, value) : 0;
}

void QmWind::Notify(int code, int value)
{
    if (lock_)
        return;
    OnNotify(this, code, value);
    // By index: a listener may add listeners while it is told.
    for (int i = 0; i < listeners_.GetCount(); ++i) {
        if (QmWind* listener = *listeners_.At(i))
            listener->OnNotify(this, code, value);
    }
}

void QmWind::AddListener(QmWind* element)
{
    listeners_.Add(element);
}

int QmWind::CountChildren() const
{
    return children_.GetCount();
}

void QmWind::AddChild(QmWind* element)
{
    children_.Add(element);
}

QmWind* QmWind::FindByCode(const FourCC& code)
{
    if (code_ == code)
        return this;
    for (QmWind* child : children_) {
        if (child == nullptr)
            continue;
        if (QmWind* found = child->FindByCode(code))
            return found;
    }
    return nullptr;
}

QmWind* QmWind::FindByText(const QString& text)
{
    if (text.isEmpty())
        return nullptr;
    if (GetText() == text)
        return this;
    for (QmWind* child : children_) {
        if (child == nullptr)
            continue;
        if (QmWind* found = child->FindByText(text))
            return found;
    }
    return nullptr;
}

const QmList<QmWind*>& QmWind::GetChildren() const
{
    return children_;
}

quint32 QmWind::GetFlags() const
{
    return flags_;
}

quint32 QmWind::SetFlags(quint32 flags)
{
    const quint32 old = flags_;
    flags_ = flags;
    return old;
}

void QmWind::AddFlags(quint32 bits)
{
    flags_ |= bits;
}

bool QmWind::Lock(bool lock)
{
    const bool old = lock_;
    lock_ = lock;
    return old;
}

void QmWind::SetConstraint(Constraint* constraint)
{
    constraint_ = constraint;
}

bool QmWind::Validate()
{
    if (constraint_ != nullptr) {
        const QString value = GetValue();
        if (!constraint_->Validate(value, displayName_.isEmpty() ? nullptr : &displayName_))
            return false;
    }
    return PerformEvent(AttachEvent::Validated);
}

void QmWind::SetSel(int start, int end)
{
    if (window_ == nullptr)
        return;
    window_->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(window_)) {
        if (start < 0) {
            edit->deselect();
            return;
        }
        const int length = int(edit->text().size());
        const int from = qMin(start, length);
        const int to = end < 0 ? length : qMin(end, length);
        edit->setSelection(from, qMax(0, to - from));
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(window_)) {
        selectInDocument(text, start, end);
    } else if (auto* rich = qobject_cast<QTextEdit*>(window_)) {
        selectInDocument(rich, start, end);
    }
}

void QmWind::ApplyFont(const QmFont* font)
{
    if (font == nullptr)
        return;
    if (window_ != nullptr && font->HasFont())
        window_->setFont(font->GetFont());
    SetAlignment(font->GetFirstLetter(), font->GetSecondLetter());
    textColor_ = {font->GetRed(), font->GetGreen(), font->GetBlue()};
    fontColor_ = textColor_;
    UpdateColors();
}

void QmWind::ShowChild(const FourCC& code, bool show)
{
    if (QmWind* child = FindByCode(code))
        child->Show(show);
}

void QmWind::EnableChild(const FourCC& code, bool enable)
{
    QmWind* child = FindByCode(code);
    if (child != nullptr && child->window_ != nullptr)
        child->window_->setEnabled(enable);
}

void QmWind::SetAlignment(QChar, QChar) {}

void QmWind::RemoveBorder()
{
    if (auto* edit = qobject_cast<QLineEdit*>(window_))
        edit->setFrame(false);
    else if (auto* frame = qobject_cast<QFrame*>(window_))
        frame->setFrameShape(QFrame::NoFrame);
}

void QmWind::SetHint(const std::optional<QString>& text)
{
    hint_ = text;
}

std::optional<QString> QmWind::GetHint() const
{
    return hint_;
}

void QmWind::Clear()
{
    SetTextNotify(QString());
}

void QmWind::UpdateColors()
{
    for (QmWind* child : children_) {
        if (child != nullptr)
            child->UpdateColors();
    }
}

quint32 QmWind::GetTextColor() const
{
    return quint32(quint8(textColor_.red)) | quint32(quint8(textColor_.green)) << 8 |
           quint32(quint8(textColor_.blue)) << 16;
}

quint32 QmWind::GetFontColor() const
{
    return quint32(quint8(fontColor_.red)) | quint32(quint8(fontColor_.green)) << 8 |
           quint32(quint8(fontColor_.blue)) << 16;
}

void QmWind::SplitDisplayValue()
{
    const QString text = GetText();
    const qsizetype caret = text.indexOf(u'^');
    if (caret < 0)
        return;
    SetText(text.left(caret));
    stored_ = text.mid(caret + 1);
}

void QmWind::RemoveChild(QmWind* element)
{
    for (int i = 0; i < children_.GetCount(); ++i) {
        if (*children_.At(i) == element) {
            children_.RemoveAt(i);
            return;
        }
    }
}

void QmWind::SetDisplayName(const QString& name)
{
    displayName_ = name;
}

void QmWind::Reset()
{
    if (parent_ != nullptr)
        parent_->RemoveChild(this);
    parent_ = nullptr;
    window_ = nullptr;
    flags_ = 0;
    lock_ = false;
    constraint_ = nullptr;
    stored_.reset();
    hint_.reset();
    label_.clear();
}

void QmWind::SetTextColor(qint16 red, qint16 green, qint16 blue)
{
    textColor_ = {red, green, blue};
}

QWidget* QmWind::ParentWindowOf(QmWind* parent)
{
    return parent != nullptr ? parent->GetWindow() : nullptr;
}

quint32 QmWind::GetDefaultFlags()
{
    return g_defaultFlags;
}

void QmWind::SetDefaultFlags(quint32 flags)
{
    g_defaultFlags = flags;
}

}  // namespace engine
