#include "regengine/ui/graphics/QmFont.h"

namespace engine {

const QFont& QmFont::GetFont() const
{
    static const QFont none;
    return font_ ? *font_ : none;
}

void QmFont::SetLetters(QChar first, QChar second)
{
    first_ = first;
    second_ = second;
}

void QmFont::SetColor(qint16 red, qint16 green, qint16 blue)
{
    red_ = red;
    green_ = green;
    blue_ = blue;
}

}  // namespace engine
