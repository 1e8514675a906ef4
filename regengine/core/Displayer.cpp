#include "regengine/core/Displayer.h"

#include "regengine/core/Clock.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

#include <cerrno>

Displayer::Displayer(const Clock* clock) : clock_(clock != nullptr ? clock : &Clock::System()) {}

Displayer::~Displayer() = default;

void Displayer::Write(QStringView text, bool lineEnd)
{
    if (!enabled_)
        return;
    if (delay_ > 0 && written_) {
        const qint64 until = lastWrite_ + qint64(delay_) * 1000 / 10;
        for (qint64 now = clock_->MonotonicMs(); now < until; now = clock_->MonotonicMs())
            clock_->SleepMs(qMin<qint64>(until - now, 10));
    }
    if (clearFirst_)
        Clear();
    Append(text);
    if (lineEnd && !clearFirst_)
        Append(u"\r\n");
    written_ = true;
    lastWrite_ = clock_->MonotonicMs();
}

void Displayer::WriteChar(QChar c)
{
    if (enabled_)
        Append(QStringView(&c, 1));
}

void Displayer::WriteNumber(long long value)
{
    WriteLine(QString::number(value), true);
}

int Displayer::ShowLastError()
{
    const int error = errno;
    WriteLine(qt_error_string(error), true);
    return error;
}

bool Displayer::SetClearFirst(bool on)
{
    const bool old = clearFirst_;
    clearFirst_ = on;
    return old;
}

bool Displayer::SetEnabled(bool on)
{
    const bool old = enabled_;
    enabled_ = on;
    return old;
}

qint16 Displayer::SetDelay(qint16 tenths)
{
    const qint16 old = delay_;
    delay_ = tenths;
    return old;
}

QWidget* DialogItem(QWidget* dialog, int id)
{
    if (dialog == nullptr)
        return nullptr;
    const auto children = dialog->findChildren<QWidget*>();
    for (QWidget* child : children) {
        const QVariant v = child->property(kDialogItemIdProperty);
        if (v.isValid() && v.toInt() == id)
            return child;
    }
    return nullptr;
}

bool SetWidgetText(QWidget* widget, const QString& text)
{
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        edit->setPlainText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(widget))
        rich->setPlainText(text);
    else if (auto* line = qobject_cast<QLineEdit*>(widget))
        line->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else
        return false;
    return true;
}

// An edit control's text always grows at its end, however long it has become; a caret
// placed at a fixed position would put later texts in the middle of a long one.
bool AppendWidgetText(QWidget* widget, QStringView text)
{
    const QString added = text.toString();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        edit->moveCursor(QTextCursor::End);
        edit->insertPlainText(added);
        edit->moveCursor(QTextCursor::End);
        edit->ensureCursorVisible();
    } else if (auto* rich = qobject_cast<QTextEdit*>(widget)) {
        rich->moveCursor(QTextCursor::End);
        rich->insertPlainText(added);
        rich->moveCursor(QTextCursor::End);
        rich->ensureCursorVisible();
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->end(false);
        line->insert(added);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(label->text() + added);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(button->text() + added);
    } else {
        return false;
    }
    return true;
}
