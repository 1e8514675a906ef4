#pragma once

#include <QAbstractButton>
#include <QImage>

namespace client {

// An image button: it draws one of its images with per-pixel alpha over whatever its
// parent painted, and a brighter one while the mouse is over it. The images are BITMAP
// resources named by a base name and a suffix: "U" normal, "H" hover, "D" pressed, "X"
// disabled and "F" focus, which is drawn over the others.
class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CHoverButton(QWidget* parent = nullptr);

    // Loads the five images of `baseName`. A missing "H", "D" or "X" image is replaced by
    // the "U" one; a missing "F" means no focus image at all. False when there is no "U".
    bool LoadBitmaps(const QString& baseName);

    // Makes the button the size of its normal image.
    void SizeToContent();

    // Ends the hover state, as when the mouse has gone.
    void EndHover();
    bool IsHovering() const { return hovering_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QImage normal_;
    QImage selected_;
    QImage focus_;
    QImage disabled_;
    QImage hoverBitmap_;
    bool hovering_ = false;
};

}  // namespace client
