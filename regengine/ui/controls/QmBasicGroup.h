#pragma once

#include "regengine/ui/element/QmBasicWindow.h"

namespace engine {

class QmStrStream;

// Flag bits of the groups.
namespace QmGroupFlag {
constexpr quint32 ByCode = 0x4;         // radio group: members chosen and reported by code
constexpr quint32 FirstChecked = 0x1;   // check group: its first member starts checked
constexpr quint32 KeepBorder = 0x2000;  // multi-field group
constexpr quint32 Hidden = 0x20000;
constexpr quint32 NoTabStop = 0x800000;  // neither the group nor its members are tab items
}  // namespace QmGroupFlag

// A group of a page (BASICGROUP): a child window that holds the elements between its
// keyword and ENDGROUP. A group is no tab item of its own: Tab reaches its members, unless
// the group was made without a tab stop, which keeps the keyboard out of it altogether.
class QmBasicGroup : public QmBasicWindow {
public:
    // The rest of a group line: code, rectangle, control id, hexadecimal flags and a quoted
    // label when the next thing on the line is a double quote.
    QmBasicGroup(QmStrStream& script, QmWind* parent);
    ~QmBasicGroup() override;

    // A group has no text of its own.
    void SetTextNotify(const QString& text) override;
    QString GetValue() const override;

    // Gives the focus to the nearest tab item before (or after) the group, outside it;
    // false when there is none but the group.
    bool FocusOutside(bool forward);

protected:
    // What the arrow keys do on a member button: nothing of the group's own (a basic group),
    // move the focus to the previous or next member, or move it and select that member.
    enum class ArrowKeys { Ignored, MoveFocus, MoveAndSelect };
    virtual ArrowKeys ArrowKeyRule() const { return ArrowKeys::Ignored; }

    // Where the focus goes when the group receives it; null: the group keeps no focus.
    virtual QWidget* EntryWidget() const { return nullptr; }
    // Radio and check groups are one tab item: the keyboard enters at EntryWidget and Tab
    // or Shift+Tab from inside leaves the group.
    bool IsOneTabItem() const { return oneTabItem_; }
    void SetOneTabItem(bool on);

    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    // The first member window that takes the focus from the keyboard.
    QWidget* FirstTabMember() const;

private:
    // An arrow key on a member button, by the group's rule; true when the group took it.
    bool ArrowPressed(QObject* watched, const QKeyEvent& key);

    bool oneTabItem_ = false;
};

// A group of fields whose values join into one (MULTIGROUP); without flag 0x2000 it shows
// no border.
class QmMultiGroup : public QmBasicGroup {
public:
    QmMultiGroup(QmStrStream& script, QmWind* parent);

    // The members' values joined without a separator.
    QString GetValue() const override;
    // Switches on, in turn, each member whose value stands at the start of the rest of the
    // text, stepping past that value.
    void SetTextNotify(const QString& text) override;

protected:
    // Between member buttons only: an edit keeps its arrows for its caret.
    ArrowKeys ArrowKeyRule() const override { return ArrowKeys::MoveFocus; }
};

}  // namespace engine
