#pragma once

#include "regengine/ui/controls/QmButtons.h"
#include "regengine/ui/graphics/CDIB.h"

#include <QAbstractButton>

namespace engine {

// The owner-drawn buttons' common part: up and down pictures from the bitmap resources,
// drawn over the button's rectangle (the down one while pressed, when there is one). A
// picture that cannot be loaded leaves the button without it.
class QmBitmapButton : public QAbstractButton, public QmControl {
public:
    explicit QmBitmapButton(QmWind* parent);
    ~QmBitmapButton() override;

    bool LoadBitmaps(const QString& up, const QString& down = QString());
    const CDIB& UpBitmap() const { return up_; }
    const CDIB& DownBitmap() const { return down_; }
    bool HasFocusFrame() const { return focus_ && (GetFlags() & QmButtonFlag::TabStop); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The command upward, unless it is 0.
    void SendCommand();

    bool focus_ = false;

private:
    CDIB up_;
    CDIB down_;
};

// A picture button (GRAPHICBUTTON): its up picture, unscaled rectangle; a click or Space
// sends the command once. A press dragged off the button and released there sends nothing
// and leaves the mouse free.
class QmGraphicButton : public QmBitmapButton {
public:
    QmGraphicButton(QmStrStream& script, QmWind* parent);
};

// A button that shows its down picture while the pointer is over it (HOVERBUTTON); a click
// sends the command.
class CHoverButton : public QmBitmapButton {
public:
    CHoverButton(QmStrStream& script, QmWind* parent);

    bool IsHovered() const { return hover_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool hover_ = false;
};

// A two-state picture button (TOGGLEBUTTON): a click flips its value (with flag 0x1 it
// only switches on) and it looks pressed while on. It never keeps the focus: an enclosing
// group passes it on.
class QmToggleButton : public QmBitmapButton {
public:
    QmToggleButton(QmStrStream& script, QmWind* parent);

    int SetValue(int value) override;
    // Whether this button was the run's first toggle button, which starts a group.
    bool StartsGroup() const { return startsGroup_; }
    // The next toggle button starts a group again (a new run).
    static void ResetGroupStart();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool startsGroup_ = false;
};

// A transparent hot area over the page (CLEARBUTTON): it draws only its focus frame, and a
// click or Space sends the command.
class QmClearButton : public QWidget, public QmControl {
public:
    QmClearButton(QmStrStream& script, QmWind* parent);

    bool HasFocusFrame() const { return focus_ && (GetFlags() & QmButtonFlag::TabStop); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool focus_ = false;
};

}  // namespace engine
