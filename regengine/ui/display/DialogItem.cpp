#include "regengine/ui/display/DialogItem.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

namespace engine {

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

}  // namespace engine
