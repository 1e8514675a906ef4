#include "regengine/ui/graphics/DrawBitmapInRect.h"

#include "regengine/core/QmRect.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QRect>

namespace engine {

namespace {

QColor buttonFace()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

}  // namespace

int DrawBitmapInRect(QPainter* painter, const QImage* bitmap, quint32 mode, const QColor* color, const QRect& rect)
{
    if (painter == nullptr)
        return 0;
    const ScreenInfo& screen = ScreenInfo::Instance();
    const bool contrast = screen.ContrastMode();
    if ((mode & DrawMode::HonourContrast) && contrast) {
        painter->fillRect(rect, buttonFace());
        return 1;
    }
    const QColor fill = contrast ? buttonFace() : (color != nullptr ? *color : QColor());
    if (bitmap != nullptr && !bitmap->isNull()) {
        QSize size = rect.size();
        if ((mode & DrawMode::Stretch) == 0) {
            QmRect scaled(0, 0, bitmap->width(), bitmap->height());
            screen.Scale(scaled);
            size = QSize(scaled.right - scaled.left, scaled.bottom - scaled.top);
        }
        painter->drawImage(QRect(rect.topLeft(), size), *bitmap);
        if (color != nullptr) {
            const QRect below(QPoint(rect.left(), rect.top() + size.height()), rect.bottomRight());
            if (below.isValid())
                painter->fillRect(below, fill);
        }
    } else if (color != nullptr) {
        painter->fillRect(rect, fill);
    }
    return 1;
}

}  // namespace engine
