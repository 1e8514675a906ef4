#include "regengine/ui/display/DialogStaticDisplayer.h"

#include "regengine/ui/display/DialogItem.h"

namespace engine {

QWidget* DialogStaticDisplayer::Item() const
{
    return itemId_ != 0 && dialog_ != nullptr ? DialogItem(dialog_, itemId_) : nullptr;
}

void DialogStaticDisplayer::Clear()
{
    if (QWidget* item = Item())
        SetWidgetText(item, QString());
}

void DialogStaticDisplayer::Append(QStringView text)
{
    if (QWidget* item = Item())
        SetWidgetText(item, text.toString());
}

}  // namespace engine
