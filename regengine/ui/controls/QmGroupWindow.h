#pragma once

#include "regengine/ui/controls/QmBasicGroup.h"

#include <QPointer>

namespace engine {

class QmControl;

// A radio group (GROUP): of its members at most one is on. A member switched on switches the
// last one off and the group reports the change (1003, the member's index among the
// group's children). The group is one tab item, entered at its selected member.
class QmGroupWindow : public QmBasicGroup {
public:
    QmGroupWindow(QmStrStream& script, QmWind* parent);

    // Selects the member named by the text: by code (its first four characters) with flag
    // 0x4, else by window text.
    void SetTextNotify(const QString& text) override;
    // The selected member's value, or with flag 0x4 its code; empty without a selection.
    QString GetValue() const override;
    void GetValueAndStored(QString& value, std::optional<QString>* stored) const override;
    int OnNotify(QmWind* source, int code, int value) override;
    // A required group must have a selection.
    bool Validate() override;

    QmControl* GetSelected() const { return selected_; }

protected:
    QWidget* EntryWidget() const override;
    ArrowKeys ArrowKeyRule() const override { return ArrowKeys::MoveAndSelect; }

private:
    QmControl* MemberNamed(const QString& text);

    QmControl* selected_ = nullptr;
};

// A check group (CHECKGROUP): any of its members may be on, between a minimum and a maximum
// count. A change past the maximum is refused with a beep.
class QmChkGroupWindow : public QmBasicGroup {
public:
    // As a group line, then the minimum and maximum counts; a maximum the line lacks sets
    // no limit.
    QmChkGroupWindow(QmStrStream& script, QmWind* parent);

    void SetTextNotify(const QString& text) override;
    QString GetValue() const override;
    int OnNotify(QmWind* source, int code, int value) override;
    // At least the minimum number of members must be on.
    bool Validate() override;
    // With flag 0x1 the first member starts checked.
    void CloseGroup() override;

    int GetMinimum() const { return minimum_; }
    int GetMaximum() const { return maximum_; }
    // The members whose value is not 0.
    int CountChecked() const;

protected:
    QWidget* EntryWidget() const override { return FirstTabMember(); }
    ArrowKeys ArrowKeyRule() const override { return ArrowKeys::MoveFocus; }

private:
    qint32 minimum_ = 0;
    qint32 maximum_ = 0;
};

}  // namespace engine
