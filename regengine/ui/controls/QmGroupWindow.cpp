#include "regengine/ui/controls/QmGroupWindow.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/FieldNameSource.h"
#include "regengine/ui/element/QmControl.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <limits>

namespace engine {

namespace {

int childIndex(const QmWind& group, const QmWind* member)
{
    const QmList<QmWind*>& children = group.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        if (*children.At(i) == member)
            return i;
    }
    return -1;
}

bool isMember(const QmWind& group, const QmWind* element)
{
    return element != nullptr && element->GetParent() == &group;
}

}  // namespace

QmGroupWindow::QmGroupWindow(QmStrStream& script, QmWind* parent) : QmBasicGroup(script, parent)
{
    SetText(GetLabel());
    SetOneTabItem(true);
}

QmControl* QmGroupWindow::MemberNamed(const QString& text)
{
    // Among the members only: the group's own text, its label, must not find the group.
    for (QmWind* member : GetChildren()) {
        if (member == nullptr)
            continue;
        QmWind* found = (GetFlags() & QmGroupFlag::ByCode) ? member->FindByCode(FourCC(QStringView(text).left(4)))
                                                           : member->FindByText(text);
        if (found != nullptr)
            return dynamic_cast<QmControl*>(found);
    }
    return nullptr;
}

void QmGroupWindow::SetTextNotify(const QString& text)
{
    QmControl* member = MemberNamed(text);
    if (member == nullptr || member == selected_)
        return;
    if (selected_ != nullptr)
        selected_->SetValue(0);
    member->SetValue(1);
    selected_ = member;
}

QString QmGroupWindow::GetValue() const
{
    if (selected_ == nullptr)
        return {};
    if (GetFlags() & QmGroupFlag::ByCode)
        return FieldCodeToString(selected_->GetCode());
    return selected_->GetValue();
}

void QmGroupWindow::GetValueAndStored(QString& value, std::optional<QString>* stored) const
{
    value = GetValue();
    if (stored != nullptr)
        *stored = selected_ != nullptr ? selected_->GetStoredValue() : std::nullopt;
}

int QmGroupWindow::OnNotify(QmWind* source, int code, int value)
{
    switch (code) {
    case QmNotify::ValueChanged: {
        if (!isMember(*this, source))
            break;
        auto* member = dynamic_cast<QmControl*>(source);
        if (value == 0 || member == nullptr || member == selected_)
            return 0;
        QmControl* old = selected_;
        selected_ = member;
        if (old != nullptr)
            old->SetValue(0);
        Notify(QmNotify::SelectionChanged, childIndex(*this, member));
        return 0;
    }
    case QmNotify::LeaveGroupBackward:
    case QmNotify::LeaveGroupForward: FocusOutside(code == QmNotify::LeaveGroupForward); return 0;
    default: break;
    }
    return QmBasicGroup::OnNotify(source, code, value);
}

bool QmGroupWindow::Validate()
{
    Constraint* constraint = GetConstraint();
    if (constraint != nullptr && (constraint->GetFlags() & ConstraintFlag::Required) && GetValue().isEmpty()) {
        const QString name = EnclosingFieldDisplayName(this);
        const QString text =
            name.isEmpty() ? ConstraintText(15, QStringLiteral("A choice must be made from the required radio group."))
                           : platform::formatText(ConstraintText(19, QStringLiteral("Please specify your %s.")), name);
        if ((ConstraintQuietFlags() & 1) == 0)
            platform::messageBox(text, ConstraintText(2, QStringLiteral("Required")), kConstraintBoxStyle);
        return false;
    }
    return PerformEvent(AttachEvent::Validated);
}

QWidget* QmGroupWindow::EntryWidget() const
{
    QWidget* selected = selected_ != nullptr ? selected_->GetWindow() : nullptr;
    if (selected != nullptr && (selected->focusPolicy() & Qt::TabFocus) && selected->isEnabled())
        return selected;
    return FirstTabMember();
}

QmChkGroupWindow::QmChkGroupWindow(QmStrStream& script, QmWind* parent) : QmBasicGroup(script, parent)
{
    if (!script.readInt(minimum_))
        minimum_ = 0;
    if (!script.readInt(maximum_))
        maximum_ = std::numeric_limits<qint32>::max();
    SetOneTabItem(true);
}

void QmChkGroupWindow::SetTextNotify(const QString&) {}

QString QmChkGroupWindow::GetValue() const
{
    return {};
}

int QmChkGroupWindow::CountChecked() const
{
    int count = 0;
    for (QmWind* member : GetChildren()) {
        if (const auto* control = dynamic_cast<const QmControl*>(member); control != nullptr && control->Value() != 0)
            ++count;
    }
    return count;
}

int QmChkGroupWindow::OnNotify(QmWind* source, int code, int value)
{
    switch (code) {
    case QmNotify::ValueChanged: {
        if (!isMember(*this, source))
            break;
        // A box the user changed holds its new value already; one set by the program is
        // counted before the change.
        const int count = CountChecked();
        if (count <= maximum_)
            return count;
        platform::beep(platform::mb::IconAsterisk);
        if (auto* member = dynamic_cast<QmControl*>(source)) {
            const bool locked = member->Lock(true);
            member->SetValue(0);
            member->Lock(locked);
        }
        return count;
    }
    case QmNotify::LeaveGroupBackward:
    case QmNotify::LeaveGroupForward: FocusOutside(code == QmNotify::LeaveGroupForward); return 0;
    default: break;
    }
    return QmBasicGroup::OnNotify(source, code, value);
}

bool QmChkGroupWindow::Validate()
{
    if (CountChecked() >= minimum_)
        return true;
    const QString name = EnclosingFieldDisplayName(this);
    const QString text =
        minimum_ == 1
            ? platform::formatText(
                  ConstraintText(20, QStringLiteral("You must select at least one choice from the %s group.")), name)
            : platform::formatText(
                  ConstraintText(21, QStringLiteral("You must select at least %d choices from the %s group.")),
                  int(minimum_), name);
    // Through a constraint's reporter, so the quiet switch and the error limit hold.
    Constraint fallback;
    Constraint* reporter = GetConstraint() != nullptr ? GetConstraint() : &fallback;
    reporter->ReportError(text, ConstraintText(2, QStringLiteral("Required")));
    return false;
}

void QmChkGroupWindow::CloseGroup()
{
    if ((GetFlags() & QmGroupFlag::FirstChecked) == 0 || GetWindow() == nullptr || CountChildren() == 0)
        return;
    if (QmWind* first = *GetChildren().At(0))
        first->SetTextNotify(QStringLiteral("1"));
}

}  // namespace engine
