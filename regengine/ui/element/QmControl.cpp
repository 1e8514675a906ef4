#include "regengine/ui/element/QmControl.h"

namespace engine {

int QmControl::SetValueText(const std::optional<QString>& text)
{
    if (!text)
        return 0;
    return SetValue(LeadingDecimal(*text));
}

int QmControl::SetValue(int value)
{
    Notify(QmNotify::ValueChanged, value);
    const int old = value_;
    value_ = value;
    return old;
}

int QmControl::GetValueText(QString* out) const
{
    if (out != nullptr)
        *out = QString::number(value_);
    return value_;
}

void QmControl::SetTarget(QmWind* target)
{
    target_ = target;
}

int QmControl::SetCommand(int command)
{
    const int old = command_;
    command_ = command;
    return old;
}

int QmControl::GetCommand() const
{
    return command_;
}

void QmControl::SetTextNotify(const QString& text)
{
    if ((GetFlags() & QmFlag::TwoState) == 0) {
        QmWind::SetTextNotify(text);
        return;
    }
    // A 1 or a capital T switches it on; "true" in lower case, like any other text, off.
    SetValue(text.startsWith(u'1') || text.startsWith(u'T') ? 1 : 0);
}

QString QmControl::GetValue() const
{
    return ReadsAsEmpty() ? QString() : QmWind::GetValue();
}

void QmControl::GetValueAndStored(QString& value, std::optional<QString>* stored) const
{
    if (!ReadsAsEmpty()) {
        QmWind::GetValueAndStored(value, stored);
        return;
    }
    value.clear();
    if (stored != nullptr)
        *stored = GetStoredValue() ? std::optional<QString>(QString()) : std::nullopt;
}

}  // namespace engine
