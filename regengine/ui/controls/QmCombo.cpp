#include "regengine/ui/controls/QmCombo.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/controls/QmButtons.h"
#include "regengine/ui/controls/QmCaption.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QStyle>

namespace engine {

namespace {

constexpr qsizetype kValidatedLength = 99;

}  // namespace

QmCombo::QmCombo(QmStrStream& script, QmWind* parent, const QmStringList& list)
    : QComboBox(ParentWindowOf(parent)), QmControl(parent)
{
    SetWindow(this);
    ButtonLine line;
    QmRect rect;
    ReadButtonLine(script, line, rect, true);
    SetCode(line.code);
    initial_ = ReadStringFromScript(script);
    SetRect(rect);
    SetControlId(line.id);
    SetCommand(line.command);
    SetFlags(line.flags | GetDefaultFlags());
    if (GetFlags() & QmChoiceFlag::Editable) {
        setEditable(true);
        // A typed text is the field's value, never a new item.
        setInsertPolicy(QComboBox::NoInsert);
        setCompleter(nullptr);
    }
    setFocusPolicy(Qt::StrongFocus);
    // The line's height is the dropped list's reach; the closed box is as high as its text.
    resize(width(), qMin(height(), sizeHint().height()));
    connect(this, &QComboBox::activated, this, [this](int index) { ChooseIndex(index); });
    if ((GetFlags() & QmChoiceFlag::Hidden) == 0)
        show();
    Fill(list);
    if (!initial_.isEmpty())
        SetTextNotify(initial_);
}

QmCombo::QmCombo(const FourCC& code, const QmRect& rect, int id, quint32 flags, QmWind* parent)
    : QComboBox(ParentWindowOf(parent)), QmControl(parent)
{
    SetWindow(this);
    SetCode(code);
    SetRect(rect);
    SetControlId(id);
    SetFlags(flags);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QComboBox::activated, this, [this](int index) { ChooseIndex(index); });
    if ((GetFlags() & QmChoiceFlag::Hidden) == 0)
        show();
}

QmCombo::~QmCombo() = default;

void QmCombo::Fill(const QmStringList& list)
{
    {
        const QSignalBlocker block(this);
        clear();
    }
    values_.RemoveAll();
    SetDisplayName(list.GetName());
    const bool hidden = GetFlags() & QmChoiceFlag::HiddenValues;
    for (const QString& item : list) {
        if (!hidden) {
            addItem(item);
            continue;
        }
        const qsizetype caret = item.indexOf(u'^');
        addItem(caret < 0 ? item : item.left(caret));
        values_.AddString(caret < 0 ? item : item.mid(caret + 1));
    }
    SetValue(0);
    if ((GetFlags() & QmChoiceFlag::NoSelectionFixed) == 0)
        noSelection_ = currentText();
}

int QmCombo::FindExact(const QString& text) const
{
    for (int i = 0; i < count(); ++i) {
        if (itemText(i) == text)
            return i;
    }
    return -1;
}

bool QmCombo::HasFreeText() const
{
    return isEditable() && (currentIndex() < 0 || currentText() != itemText(currentIndex()));
}

void QmCombo::SetTextNotify(const QString& text)
{
    const QSignalBlocker block(this);
    if (!text.isEmpty()) {
        const int index = FindExact(text);
        if (index >= 0)
            setCurrentIndex(index);
        else if (isEditable())
            setEditText(text);
    } else if (count() > 0) {
        setCurrentIndex(0);
    }
    PerformEvent(AttachEvent::ValueSet);
}

QString QmCombo::GetValue() const
{
    return currentText();
}

std::optional<QString> QmCombo::GetStoredValue() const
{
    if ((GetFlags() & QmChoiceFlag::HiddenValues) == 0 || HasFreeText())
        return QString();
    const QString* value = values_.GetItem(currentIndex());
    return value != nullptr ? *value : QString();
}

void QmCombo::GetValueAndStored(QString& value, std::optional<QString>* stored) const
{
    value = GetValue();
    if (stored == nullptr)
        return;
    if (GetFlags() & QmChoiceFlag::HiddenValues)
        *stored = GetStoredValue();
    else
        stored->reset();
}

int QmCombo::SetValue(int value)
{
    const int index = count() > 0 ? qBound(0, value, count() - 1) : 0;
    {
        const QSignalBlocker block(this);
        if (count() > 0)
            setCurrentIndex(index);
    }
    return QmControl::SetValue(index);
}

int QmCombo::GetValueText(QString* out) const
{
    auto* self = const_cast<QmCombo*>(this);
    int index = currentIndex();
    if (HasFreeText()) {
        // Setting the selection would put an item's text over what the user typed.
        index = qMax(index, 0);
        self->QmControl::SetValue(index);
    } else {
        self->SetValue(index);
    }
    return QmControl::GetValueText(out);
}

void QmCombo::ChooseIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    SetValue(index);
    Notify(QmNotify::ItemChosen, index);
    PerformEvent(AttachEvent::ValueSet);
}

bool QmCombo::Validate()
{
    Constraint* constraint = GetConstraint();
    const QString value = GetValue().left(kValidatedLength);
    if (auto* mfgr = dynamic_cast<MFGRConstraint*>(constraint)) {
        const QString name = GetDisplayName();
        return mfgr->Validate(value, &name);
    }
    if (constraint == nullptr || (constraint->GetFlags() & ConstraintFlag::Required) == 0)
        return PerformEvent(AttachEvent::Validated);
    if (value.isEmpty() || value == noSelection_ || value.startsWith(QStringLiteral("--"))) {
        if ((ConstraintQuietFlags() & 1) == 0)
            platform::messageBox(
                platform::formatText(ConstraintText(7, QStringLiteral("A selection must be made from the %s list.")),
                                     GetDisplayName()),
                ConstraintText(2, QStringLiteral("Required")), kConstraintBoxStyle);
        return false;
    }
    return PerformEvent(AttachEvent::Validated);
}

void QmCombo::UpdateColors()
{
    if (QLineEdit* edit = lineEdit()) {
        QPalette p = edit->palette();
        p.setColor(QPalette::Text, ColorFromRef(GetTextColor()));
        edit->setPalette(p);
    }
    QmControl::UpdateColors();
}

void QmCombo::showPopup()
{
    // The list is as wide as its widest item, however narrow the box.
    int widest = 0;
    const QFontMetrics metrics(font());
    for (int i = 0; i < count(); ++i)
        widest = qMax(widest, metrics.horizontalAdvance(itemText(i)));
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int scroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    view()->setMinimumWidth(widest + 2 * edge + scroll + 3);
    QComboBox::showPopup();
}

}  // namespace engine
