#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/ui/element/QmControl.h"

#include <QPushButton>

namespace engine {

class QmRect;
class QmStrStream;

// Flag bits of the buttons.
namespace QmButtonFlag {
constexpr quint32 OnStaysOn = 0x1;        // toggle button: a click never switches it off
constexpr quint32 TwoState = 0x2;         // state button: its value is its text
constexpr quint32 Hidden = 0x100000;      // push button created hidden
constexpr quint32 HandCursor = 0x200000;  // graphic and clear buttons
constexpr quint32 TabStop = 0x800000;     // graphic and clear buttons: a tab item with a focus frame
}  // namespace QmButtonFlag

// The start of a button line: code, rectangle (scaled for the screen unless told not to),
// decimal control id and command, then the hexadecimal flags.
struct ButtonLine {
    FourCC code;
    qint32 id = 0;
    qint32 command = 0;
    quint32 flags = 0;
};
void ReadButtonLine(QmStrStream& script, ButtonLine& line, QmRect& rect, bool scale);

// A push button (PUSHBUTTON), the base of the popup. Each press, by mouse or keyboard,
// sends its command once; a command of 0 leaves it disabled.
class QmPushButton : public QPushButton, public QmControl {
public:
    // The rest of the line: code, rect, id, command, flags and the text.
    QmPushButton(QmStrStream& script, QmWind* parent, int kind = 0);
    // Given directly; the rectangle is scaled only when asked.
    QmPushButton(const FourCC& code, const QmRect& rect, bool scale, int id, int command, quint32 flags, QmWind* parent,
                 int kind);
    ~QmPushButton() override;

    int Kind() const { return kind_; }

protected:
    // The press: the command upward, unless it is 0.
    virtual void Pressed();
    // A plain push button with the focus takes Return and Enter as a press of its own, as
    // in a dialog; every other kind leaves them to the page's default button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Init(const QmRect& rect, int id, int command, quint32 flags);

    int kind_ = 0;
};

// A check box (kind 1, CHECKBOX) or radio button (kind 2, RADIOBUTTON). A change by the
// user is stored first and then reported (1001 with the new value) and attached to
// (event 0x10); SetValue reports before it stores, as every control does. The mark always
// shows the stored value, also when a group refuses the change. Tab and Shift+Tab inside a
// radio or check group leave the group; outside one they move the focus as anywhere else.
class QmStateButton : public QmControl {
public:
    enum Kind { CheckBox = 1, RadioButton = 2 };

    QmStateButton(QmStrStream& script, QmWind* parent, int kind);
    ~QmStateButton() override;

    // Checked unless the text is empty or starts with "0".
    void SetTextNotify(const QString& text) override;
    // Empty when off; "1" when on, or the window text with flag 0x2.
    QString GetValue() const override;
    int SetValue(int value) override;
    // "R" puts the mark on the right; "T" keeps the text at the top, as it is here.
    void SetAlignment(QChar horizontal, QChar vertical) override;
    void UpdateColors() override;

    int Kind() const { return kind_; }
    // The user's click or Space: the mark and value change, then 1001 and event 0x10.
    void UserToggled(bool checked);
    // Tab from the window; true when the enclosing group took it.
    bool TabPressed(bool backward);

private:
    void SyncMark();

    int kind_;
};

}  // namespace engine
