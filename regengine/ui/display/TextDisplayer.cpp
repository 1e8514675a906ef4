#include "regengine/ui/display/TextDisplayer.h"

#include "regengine/ui/display/DialogItem.h"

namespace engine {

void TextDisplayer::SetDialogItem(QWidget* dialog, qint16 id)
{
    dialog_ = dialog;
    itemId_ = id;
}

QWidget* TextDisplayer::Target() const
{
    if (dialog_ != nullptr && itemId_ != 0)
        return DialogItem(dialog_, itemId_);
    return window_;
}

void TextDisplayer::Clear()
{
    if (!IsEnabled())
        return;
    if (QWidget* target = Target())
        SetWidgetText(target, QString());
}

void TextDisplayer::Append(QStringView text)
{
    if (text.isEmpty() || !IsEnabled())
        return;
    if (QWidget* target = Target())
        AppendWidgetText(target, text);
}

}  // namespace engine
