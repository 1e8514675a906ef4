#include "regengine/ui/element/QmControl.h"

#include <gtest/gtest.h>

#include <QCheckBox>

#include <vector>

using namespace engine;

namespace {

// Notes what a control's value is while its change is being announced.
class Watcher : public QmWind {
public:
    int OnNotify(QmWind* source, int code, int value) override
    {
        seen.push_back({code, value, static_cast<QmControl*>(source)->Value()});
        return 0;
    }
    struct Seen {
        int code;
        int value;
        int valueAtThatTime;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
};

class Control : public QmControl {
public:
    Control(QmWind* parent, QWidget* window) : QmControl(parent) { SetWindow(window); }
    using QmWind::SetStoredValue;
};

TEST(QmControlValue, SetValueAnnouncesTheNewValueWhileTheOldIsHeld)
{
    Watcher group;
    Control control(&group, nullptr);
    EXPECT_EQ(control.SetValue(3), 0);
    EXPECT_EQ(control.SetValue(8), 3);
    EXPECT_EQ(group.seen, (std::vector<Watcher::Seen>{{1001, 3, 0}, {1001, 8, 3}}));
    QString text;
    EXPECT_EQ(control.GetValueText(&text), 8);
    EXPECT_EQ(text, QStringLiteral("8"));
    EXPECT_EQ(control.GetValueText(nullptr), 8);
}

TEST(QmControlValue, ValueTextTakesTheLeadingNumberAndNothingForNoText)
{
    Watcher group;
    Control control(&group, nullptr);
    EXPECT_EQ(control.SetValueText(std::nullopt), 0);
    EXPECT_TRUE(group.seen.empty());
    control.SetValueText(QStringLiteral("12 apples"));
    EXPECT_EQ(control.Value(), 12);
    control.SetValueText(QStringLiteral("none"));
    EXPECT_EQ(control.Value(), 0);
}

TEST(QmControlTwoState, OnlyOneOrCapitalTSwitchesOn)
{
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {{"1", 1},    {"T", 1},   {"True", 1}, {"10", 1}, {"t", 0},
                          {"true", 0}, {"yes", 0}, {"0", 0},    {"", 0},   {" 1", 0}};
    for (const Case& c : cases) {
        QCheckBox box(QStringLiteral("Subscribe"));
        Control control(nullptr, &box);
        control.SetFlags(QmFlag::TwoState);
        control.SetValue(c.value == 1 ? 0 : 1);
        control.SetTextNotify(QString::fromLatin1(c.text));
        EXPECT_EQ(control.Value(), c.value) << c.text;
        // The label is no value: a switched-off control reads as empty.
        EXPECT_EQ(control.GetValue(), c.value == 1 ? QStringLiteral("Subscribe") : QString()) << c.text;
        EXPECT_EQ(box.text(), QStringLiteral("Subscribe"));
    }
}

TEST(QmControlTwoState, StoredValueOfASwitchedOffControlIsEmptiedOrAbsent)
{
    QCheckBox box(QStringLiteral("Yes"));
    Control control(nullptr, &box);
    control.SetFlags(QmFlag::TwoState);
    QString value = QStringLiteral("old");
    std::optional<QString> stored = QStringLiteral("old");
    control.GetValueAndStored(value, &stored);
    EXPECT_TRUE(value.isEmpty());
    EXPECT_FALSE(stored.has_value());

    control.SetStoredValue(QStringLiteral("Y"));
    stored = QStringLiteral("old");
    control.GetValueAndStored(value, &stored);
    EXPECT_EQ(stored, QString());

    control.SetValue(1);
    control.GetValueAndStored(value, &stored);
    EXPECT_EQ(value, QStringLiteral("Yes"));
    EXPECT_EQ(stored, QStringLiteral("Y"));
}

TEST(QmControlTwoState, WithoutTheFlagTheTextIsSetAsText)
{
    QCheckBox box;
    Control control(nullptr, &box);
    control.SetTextNotify(QStringLiteral("1"));
    EXPECT_EQ(control.Value(), 0);
    EXPECT_EQ(control.GetValue(), QStringLiteral("1"));
}

TEST(QmControlCommand, CommandAndTargetAreKept)
{
    Control target(nullptr, nullptr);
    Control control(nullptr, nullptr);
    EXPECT_EQ(control.SetCommand(2001), 0);
    EXPECT_EQ(control.SetCommand(2000), 2001);
    EXPECT_EQ(control.GetCommand(), 2000);
    control.SetTarget(&target);
    EXPECT_EQ(control.GetTarget(), &target);
}

}  // namespace
