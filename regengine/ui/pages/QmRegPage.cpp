#include "regengine/ui/pages/QmRegPage.h"

#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/graphics/BitmapResource.h"
#include "regengine/ui/graphics/DrawBitmapInRect.h"

#include "platform/resources/Resources.h"

#include <QColor>
#include <QPainter>

namespace engine {

QmRegPage::QmRegPage(QmStrStream& script, QmWind* parent, const Background& background) : QmBasicDialog(script, parent)
{
    const QString title = ReadStringFromScript(script);
    if (!title.startsWith(u'_'))
        SetText(title);
    if (!background.bitmapName.isEmpty()) {
        // A name without a resource still gives the page its (empty) bitmap: nothing is drawn
        // for it and the colour covers the page.
        bitmap_ = LoadBitmapResource(background.module, background.bitmapName);
        drawMode_ = background.mode;
    }
    color_ = background.color;
}

QmRegPage::~QmRegPage() = default;

void QmRegPage::AddListText(const QString& text)
{
    textList_.AddString(text);
}

const QmStringList& QmRegPage::GetTextList() const
{
    return textList_;
}

void QmRegPage::SetErrorHandler(const FourCC& code, QChar letter)
{
    errorHandler_.Set(code, letter);
}

void QmRegPage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    std::optional<QColor> color;
    if (color_)
        color = QColor(int(*color_ & 0xFF), int(*color_ >> 8 & 0xFF), int(*color_ >> 16 & 0xFF));
    DrawBitmapInRect(&painter, GetBitmap(), drawMode_, color ? &*color : nullptr, rect());
}

}  // namespace engine
