#pragma once

#include "regengine/core/Attachable.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/QmList.h"
#include "regengine/core/QmRect.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

namespace engine {

class Constraint;
class QmFont;

// Flag bits every element may carry; each control keeps the bits only it tests with its class.
namespace QmFlag {
constexpr quint32 TwoState = 0x2;          // a control's text "1" or "T" means value 1
constexpr quint32 DefaultButton = 0x8;     // a push button that is its page's default
constexpr quint32 NoFieldDescent = 0x100;  // field collection stops at this element
constexpr quint32 GroupStart = 0x4000;     // the first edit after a page keyword
constexpr quint32 HiddenGroup = 0x20000;   // a group created hidden
constexpr quint32 TextIsHint = 0x80000;    // SetText also gives the hint when none is set
}  // namespace QmFlag

// Notification codes that elements send upward.
namespace QmNotify {
constexpr int ValueChanged = 1001;
constexpr int ItemChosen = 1002;
constexpr int SelectionChanged = 1003;
constexpr int LeaveGroupBackward = 1004;
constexpr int LeaveGroupForward = 1005;
constexpr int EditLostFocus = 1007;
constexpr int EditKeyUp = 1008;
constexpr int LinkClicked = 826;
}  // namespace QmNotify

// The leading decimal number of a text, after blanks and an optional sign; 0 when there is
// none. Values beyond 32 bits are held at the nearest end of the range.
int LeadingDecimal(QStringView text);

// One element of a registration page: the registration window, its pages, groups, controls,
// and the windowless value holder. It ties a field code to a window (the window half, a
// widget of the same object or one it was given), owns its children, and passes
// notifications upward: its own handler, then its listeners, then its parent.
//
// An element without a window does nothing on every window operation.
class QmWind : public Attachable {
public:
    QmWind();
    // Enters the element in `parent`'s children (null: a top element).
    explicit QmWind(QmWind* parent);
    ~QmWind() override;

    // Geometry, relative to the parent window. GetRect gives the window's real rectangle
    // (right = left + width), so moves keep the size and resizes keep the place; an element
    // without a window has the empty rectangle.
    virtual QmRect GetRect() const;
    virtual void SetRect(const QmRect& rect);
    virtual void OffsetBy(int dx, int dy);
    virtual void MoveTo(int x, int y);
    virtual void Resize(int width, int height);
    // Whether the element may be shown at all; true here.
    virtual bool IsVisible() const;
    // Shows or hides the window; returns IsVisible().
    virtual bool Show(bool show);

    virtual FourCC GetCode() const;
    virtual void SetCode(const FourCC& code);

    // The window text; with TextIsHint it also becomes the hint while none is set.
    virtual void SetText(const QString& text);
    virtual QString GetText() const;
    // SetText, then attachment event 0x10.
    virtual void SetTextNotify(const QString& text);
    // The value as a decimal number (leading number, 0 when none).
    virtual int GetInt() const;
    // The value, and the stored value into `stored` when it is given (nullopt: none).
    virtual void GetValueAndStored(QString& value, std::optional<QString>* stored) const;
    // The element's value as text; the window text here.
    virtual QString GetValue() const;
    // The hidden value of a display^value text, or nullopt.
    virtual std::optional<QString> GetStoredValue() const;
    // The name used in validation messages; the code's four letters when none is set.
    virtual QString GetDisplayName() const;
    virtual void SetControlId(int id);
    virtual int GetControlId() const;

    // Receives a notification; here it goes on to the parent (0 without one).
    virtual int OnNotify(QmWind* source, int code, int value);
    // Own OnNotify, then every listener's in the order they were added; nothing while locked.
    virtual void Notify(int code, int value);
    // `element` (not owned) also receives this element's notifications.
    virtual void AddListener(QmWind* element);

    virtual int CountChildren() const;
    // Appends to the children; the element is owned from then on.
    virtual void AddChild(QmWind* element);
    // This element or the first descendant, depth first, with the code; null when none.
    virtual QmWind* FindByCode(const FourCC& code);
    // The same by exact window text; an empty text finds nothing.
    virtual QmWind* FindByText(const QString& text);
    virtual const QmList<QmWind*>& GetChildren() const;

    virtual quint32 GetFlags() const;
    // Replaces the flag word; returns the old one.
    virtual quint32 SetFlags(quint32 flags);
    virtual void AddFlags(quint32 bits);
    // While locked, Notify does nothing. Returns the old state.
    virtual bool Lock(bool lock);

    // The validation rule (not owned); null for none.
    virtual void SetConstraint(Constraint* constraint);
    // The constraint's check of the value, then attachment event 0x80: false when either
    // refuses.
    virtual bool Validate();
    // Focus, then the selection from `start` to `end` (-1: to the end of the text).
    virtual void SetSel(int start, int end);
    // The font on the window, its alignment letters, its colour as the text colour; a
    // null font changes nothing.
    virtual void ApplyFont(const QmFont* font);
    virtual void ShowChild(const FourCC& code, bool show);
    virtual void EnableChild(const FourCC& code, bool enable);
    virtual void SetAlignment(QChar horizontal, QChar vertical);
    virtual void RemoveBorder();
    // A text creates or replaces the hint; nullopt removes it.
    virtual void SetHint(const std::optional<QString>& text);
    virtual std::optional<QString> GetHint() const;
    // SetTextNotify with the empty text.
    virtual void Clear();
    // Passes a colour change on to every child.
    virtual void UpdateColors();
    // The text colour with red in the low byte, then green, then blue.
    virtual quint32 GetTextColor() const;
    // "display^value": the display part becomes the window text and the rest the stored
    // value; a text without "^" changes nothing.
    virtual void SplitDisplayValue();

    // Takes the first occurrence out of the children (it is no longer owned).
    void RemoveChild(QmWind* element);
    void SetDisplayName(const QString& name);
    // Back to the state of a new element: leaves its parent and forgets window, flags,
    // lock, constraint, stored value, hint and label.
    void Reset();

    QWidget* GetWindow() const { return window_; }
    QmWind* GetParent() const { return parent_; }
    Constraint* GetConstraint() const { return constraint_; }
    bool IsLocked() const { return lock_; }
    const QString& GetLabel() const { return label_; }
    void SetLabel(const QString& label) { label_ = label; }
    // The colour the last applied font gave.
    quint32 GetFontColor() const;

    // The DEFAULTFLAG word: new combos OR it into their flags, new edits take it whole.
    static quint32 GetDefaultFlags();
    static void SetDefaultFlags(quint32 flags);

protected:
    // The window half; a window-bearing class gives its own widget here.
    void SetWindow(QWidget* window) { window_ = window; }
    void SetStoredValue(const std::optional<QString>& value) { stored_ = value; }
    void SetTextColor(qint16 red, qint16 green, qint16 blue);
    // The widget a child element's window is created in: the parent's window, or none.
    static QWidget* ParentWindowOf(QmWind* parent);

private:
    struct Rgb {
        qint16 red = 0;
        qint16 green = 0;
        qint16 blue = 0;
    };

    QPointer<QWidget> window_;
    FourCC code_;
    QmWind* parent_ = nullptr;
    QmList<QmWind*> children_;
    quint32 flags_ = 0;
    bool lock_ = false;
    Constraint* constraint_ = nullptr;
    std::optional<QString> stored_;
    std::optional<QString> hint_;
    QString displayName_;
    QmList<QmWind*> listeners_;
    Rgb textColor_;
    Rgb fontColor_;
    QString label_;
};

// Text of the usual widget kinds: line and text edits, labels, buttons, combo boxes, group
// boxes; the window title of anything else (every widget keeps one).
QString WindowText(const QWidget* window);
void SetWindowText(QWidget* window, const QString& text);

}  // namespace engine
