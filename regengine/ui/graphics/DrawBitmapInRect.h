#pragma once

#include <QtGlobal>

class QColor;
class QImage;
class QPainter;
class QRect;

namespace engine {

// Mode bits of the background painter.
namespace DrawMode {
constexpr quint32 Stretch = 0x1;         // the bitmap covers the whole rectangle
constexpr quint32 HonourContrast = 0x2;  // in contrast mode the rectangle is button face only
}  // namespace DrawMode

// The background of pages and of the registration window: the bitmap at the rectangle's
// top left (stretched over it, or at its own size scaled for the screen), the colour below
// it; the colour alone without a bitmap; system button face instead of the colour, or of
// everything with HonourContrast, while contrast mode is in force. A null or empty bitmap
// draws nothing of its own. Returns 1, or 0 without a painter.
int DrawBitmapInRect(QPainter* painter, const QImage* bitmap, quint32 mode, const QColor* color, const QRect& rect);

}  // namespace engine
