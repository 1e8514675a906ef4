#include "client/ui/HoverButton.h"

#include "platform/resources/Resources.h"

#include <QMouseEvent>
#include <QPainter>

namespace client {

namespace {

// A null image when the resource does not exist or does not decode.
QImage loadBitmap(const QString& name)
{
    const auto data = platform::findResource(QStringLiteral("client"), QStringLiteral("BITMAP"), name);
    if (!data)
        return {};
    QImage image = QImage::fromData(*data);
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

// No background of its own: the parent's shows through the images' alpha.
CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent) {}

bool CHoverButton::LoadBitmaps(const QString& baseName)
{
    normal_ = loadBitmap(baseName + u'U');
    auto variant = [&](QChar suffix) {
        const QImage image = loadBitmap(baseName + suffix);
        return image.isNull() ? normal_ : image;
    };
    hoverBitmap_ = variant(u'H');
    selected_ = variant(u'D');
    disabled_ = variant(u'X');
    // No stand-in here: the normal image as the focus image would be painted over the
    // pressed, hover or disabled one whenever the button has focus, hiding it.
    focus_ = loadBitmap(baseName + u'F');
    updateGeometry();
    update();
    return !normal_.isNull();
}

void CHoverButton::SizeToContent()
{
    resize(sizeHint());
}

void CHoverButton::EndHover()
{
    hovering_ = false;
    update();
}

QSize CHoverButton::sizeHint() const
{
    return normal_.isNull() ? QSize(32, 32) : normal_.size();
}

void CHoverButton::paintEvent(QPaintEvent*)
{
    const QImage* image = &normal_;
    if (isDown() && !selected_.isNull())
        image = &selected_;
    else if (!isEnabled() && !disabled_.isNull())
        image = &disabled_;
    else if (hovering_ && !hoverBitmap_.isNull())
        image = &hoverBitmap_;

    // Unscaled, from the top left: the images are made at the button's size.
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), *image);
    if (hasFocus() && !focus_.isNull())
        painter.drawImage(QPoint(0, 0), focus_);
}

void CHoverButton::enterEvent(QEnterEvent* event)
{
    if (!hovering_) {
        hovering_ = true;
        update();
    }
    QAbstractButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event)
{
    EndHover();
    QAbstractButton::leaveEvent(event);
}

// While a mouse button is held Qt keeps the leave back until the release, so a drag off
// the button ends the hover here.
void CHoverButton::mouseMoveEvent(QMouseEvent* event)
{
    if (hovering_ && !rect().contains(event->position().toPoint()))
        EndHover();
    QAbstractButton::mouseMoveEvent(event);
}

void CHoverButton::focusInEvent(QFocusEvent* event)
{
    QAbstractButton::focusInEvent(event);
    update();
}

void CHoverButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    update();
}

}  // namespace client
