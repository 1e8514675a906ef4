#include "ControlTestSupport.h"

#include "regengine/core/Clock.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/QmStringList.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmDateField.h"
#include "regengine/ui/controls/QmDibWind.h"
#include "regengine/ui/controls/QmPopup.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLineEdit>
#include <QTest>

using namespace engine;
using namespace controltest;

namespace {

QmStringList listOf(const char* name, std::initializer_list<const char*> items)
{
    QmStringList list{QString::fromLatin1(name)};
    for (const char* item : items)
        list.AddString(QString::fromLatin1(item));
    return list;
}

TEST(Combo, FillWithHiddenValuesAndTheNoSelectionText)
{
    RecordingPage page;
    const QmStringList list = listOf("Colour", {"--Choose--^", "Red^R", "Green^G", "Blue"});
    auto s = line("COLR 10 10 120 24 4 0 4 Green");
    QmCombo combo(s, &page, list);
    EXPECT_EQ(combo.count(), 4);
    EXPECT_EQ(combo.NoSelectionText(), QStringLiteral("--Choose--"));
    EXPECT_EQ(combo.GetDisplayName(), QStringLiteral("Colour"));
    EXPECT_EQ(combo.GetValue(), QStringLiteral("Green"));
    QString value;
    std::optional<QString> stored;
    combo.GetValueAndStored(value, &stored);
    EXPECT_EQ(value, QStringLiteral("Green"));
    EXPECT_EQ(stored, QStringLiteral("G"));
    combo.SetTextNotify(QStringLiteral("Blue"));
    EXPECT_EQ(combo.GetStoredValue(), QStringLiteral("Blue"));
    // Exact texts only: letter case counts and a prefix is no match.
    combo.SetTextNotify(QStringLiteral("red"));
    EXPECT_EQ(combo.GetValue(), QStringLiteral("Blue"));
    combo.SetTextNotify(QStringLiteral("Gre"));
    EXPECT_EQ(combo.GetValue(), QStringLiteral("Blue"));
    combo.SetTextNotify(QString());
    EXPECT_EQ(combo.currentIndex(), 0);
}

TEST(Combo, ChoiceReportsTheIndexAndGetValueTextFollowsTheSelection)
{
    RecordingPage page;
    const QmStringList list = listOf("Size", {"Small", "Medium", "Large"});
    auto s = line("SIZE 10 10 120 24 4 0 0 _");
    QmCombo combo(s, &page, list);
    page.log.clear();
    combo.ChooseIndex(2);
    EXPECT_EQ(page.log, (std::vector<std::string>{"SIZE:1001:2", "SIZE:1002:2"}));
    combo.SetTextNotify(QStringLiteral("Medium"));
    EXPECT_EQ(combo.Value(), 2);  // until the next read
    QString text;
    EXPECT_EQ(combo.GetValueText(&text), 1);
    EXPECT_EQ(text, QStringLiteral("1"));
    EXPECT_EQ(combo.SetValue(99), 1);
    EXPECT_EQ(combo.currentIndex(), 2);
}

TEST(Combo, EditableKeepsTheUsersOwnTextWhenItsValueIsRead)
{
    RecordingPage page;
    const QmStringList list = listOf("Town", {"Aarhus", "Bergen"});
    auto s = line("TOWN 10 10 120 24 4 0 1 _");
    auto* combo = new QmCombo(s, &page, list);
    page.show();
    ASSERT_NE(combo->lineEdit(), nullptr);
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("Cork"));
    EXPECT_TRUE(combo->HasFreeText());
    QString text;
    combo->GetValueText(&text);
    EXPECT_EQ(combo->GetValue(), QStringLiteral("Cork"));
    EXPECT_EQ(combo->count(), 2);
    // A text that is no item becomes the edit text.
    combo->SetTextNotify(QStringLiteral("Dublin"));
    EXPECT_EQ(combo->GetValue(), QStringLiteral("Dublin"));
    combo->SetTextNotify(QStringLiteral("Bergen"));
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_FALSE(combo->HasFreeText());
}

TEST(Combo, RequiredSelectionIsReportedOnce)
{
    MessageRecorder messages;
    RecordingPage page;
    const QmStringList list = listOf("country", {"-- pick one --", "Norway", "Chile"});
    auto s = line("CTRY 10 10 120 24 4 0 0 _");
    QmCombo combo(s, &page, list);
    Constraint required;
    required.SetFlags(ConstraintFlag::Required, 0);
    combo.SetConstraint(&required);
    EXPECT_FALSE(combo.Validate());
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("A selection must be made from the country list."));
    EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("Required"));
    combo.ChooseIndex(1);
    EXPECT_TRUE(combo.Validate());
    EXPECT_EQ(messages.boxes.size(), 1u);
    Constraint optional;
    combo.SetConstraint(&optional);
    combo.ChooseIndex(0);
    EXPECT_TRUE(combo.Validate());
}

TEST(Popup, SubmenusColumnsAndTheValueList)
{
    RecordingPage page;
    const QmStringList list = listOf("Plan", {"->More", "Gold^G", "Silver^S", "--", "-|Bronze^B"});
    auto s = line("PLAN 10 10 120 24 4 9 4 Choose a plan");
    QmPopup popup(s, &page, list);
    EXPECT_EQ(popup.GetText(), QStringLiteral("Choose a plan"));
    EXPECT_EQ(popup.NoSelectionText(), QStringLiteral("Choose a plan"));
    EXPECT_EQ(popup.ValueList().GetCount(), 5);
    EXPECT_EQ(popup.MenuText(1), QString());  // the submenu line takes no id
    EXPECT_EQ(popup.MenuText(2), QStringLiteral("Gold"));
    EXPECT_EQ(popup.SubmenuOf(2), QStringLiteral("More"));
    EXPECT_EQ(popup.SubmenuOf(3), QStringLiteral("More"));
    EXPECT_EQ(popup.MenuText(5), QStringLiteral("Bronze"));
    EXPECT_EQ(popup.SubmenuOf(5), QString());
    EXPECT_EQ(popup.ColumnOf(3), 0);
    EXPECT_EQ(popup.ColumnOf(5), 1);
    int topItems = 0, submenus = 0;
    for (QAction* action : popup.Menu()->actions()) {
        if (action->menu() != nullptr) {
            ++submenus;
            EXPECT_EQ(action->menu()->actions().size(), 2);
        } else if (!action->isSeparator()) {
            ++topItems;
        }
    }
    EXPECT_EQ(submenus, 1);
    EXPECT_EQ(topItems, 1);

    page.log.clear();
    popup.Choose(3);
    EXPECT_EQ(popup.GetText(), QStringLiteral("Silver"));
    EXPECT_EQ(popup.Value(), 2);
    EXPECT_EQ(page.log, (std::vector<std::string>{"PLAN:1001:2", "PLAN:1002:3"}));
    QString value;
    std::optional<QString> stored;
    popup.GetValueAndStored(value, &stored);
    EXPECT_EQ(value, QStringLiteral("Silver"));
    EXPECT_EQ(stored, QStringLiteral("S"));
}

TEST(Popup, FindByHiddenValueThenByTextThenTheFirst)
{
    RecordingPage page;
    const QmStringList list = listOf("Plan", {"Gold^G", "Silver^S", "Bronze^B"});
    auto s = line("PLAN 10 10 120 24 4 9 4 _");
    QmPopup popup(s, &page, list);
    struct Case {
        const char* text;
        int value;
        const char* shown;
    } const cases[] = {{"S", 1, "Silver"}, {"Bronze", 2, "Bronze"}, {"gold", 0, "Gold"}, {"", 0, "Gold"}};
    for (const Case& c : cases) {
        popup.SetTextNotify(QString::fromLatin1(c.text));
        EXPECT_EQ(popup.Value(), c.value) << c.text;
        EXPECT_EQ(popup.GetText(), QString::fromLatin1(c.shown)) << c.text;
    }
}

TEST(Popup, WithoutHiddenValuesTheFirstItemIsTheNoSelectionTextAndRequiredRefusesIt)
{
    MessageRecorder messages;
    RecordingPage page;
    const QmStringList list = listOf("colour", {"Colour", "Red", "Blue"});
    auto s = line("COLR 10 10 120 24 4 9 0 _");
    QmPopup popup(s, &page, list);
    EXPECT_EQ(popup.GetText(), QStringLiteral("Colour"));
    Constraint required;
    required.SetFlags(ConstraintFlag::Required, 0);
    popup.SetConstraint(&required);
    EXPECT_FALSE(popup.Validate());
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("A selection must be made from the colour popup menu."));
    popup.Choose(3);
    EXPECT_TRUE(popup.Validate());
    // A popup with command 0 is disabled like any push button.
    auto t = line("NONE 10 40 120 24 5 0 0 _");
    QmPopup none(t, &page, list);
    EXPECT_FALSE(none.isEnabled());
}

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDate today) : now_(QDateTime(today, QTime(15, 30)).toSecsSinceEpoch()) {}
    qint64 MonotonicMs() const override { return 0; }
    qint64 CurrentTime() const override { return now_; }
    void SleepMs(qint64) const override {}

private:
    qint64 now_;
};

QmStringList months()
{
    return listOf("Month", {"Month", "January", "February", "March", "April", "May", "June", "July", "August",
                            "September", "October", "November", "December"});
}

QmStringList years()
{
    return listOf("Year", {"Year", "1900", "2000", "2023", "2024", "2025"});
}

TEST(DateField, DaysOfTheMonthByYear)
{
    struct Case {
        const char* text;
        int lastDay;
        const char* value;
    } const cases[] = {
        {"2/10/2000", 29, "2/10/2000"},  // divisible by 400: leap
        {"2/10/1900", 28, "2/10/1900"},  // by 100 only: not
        {"2/29/2024", 29, "2/29/2024"},
        {"2/29/2023", 28, "2/28/2023"},  // a day the month lacks becomes its last
        {"4/31/2024", 30, "4/30/2024"},
        {"12/31/2025", 31, "12/31/2025"},
        // No year chosen yet reads as year 0, which allows the 29th.
        {"2/29/Year", 29, "2/29/Year"},
    };
    RecordingPage page;
    const QmStringList m = months();
    const QmStringList y = years();
    auto s = line("BDAY 10 10 220 24 4 0 \"Birthday\"");
    QmDateField field(s, &page, &m, &y);
    EXPECT_EQ(field.GetText(), QStringLiteral("Birthday"));
    EXPECT_TRUE(field.GetFlags() & QmFlag::NoFieldDescent);
    EXPECT_EQ(field.Day()->ItemCount(), 32);
    EXPECT_EQ(field.GetValue(), QString());
    for (const Case& c : cases) {
        field.SetTextNotify(QString::fromLatin1(c.text));
        EXPECT_EQ(field.Day()->ItemCount(), c.lastDay + 1) << c.text;
        EXPECT_EQ(field.GetValue(), QString::fromLatin1(c.value)) << c.text;
    }
}

TEST(DateField, FutureDatesAgainstAnInjectedToday)
{
    struct Case {
        const char* text;
        bool future;
    } const cases[] = {
        {"6/15/2024", false},                                                       // today
        {"6/16/2024", true},      {"6/14/2024", false},      {"7/Day/Year", true},  // day and year taken from today
        {"Month/Day/2025", true}, {"Month/Day/2023", false}, {"2/29/2023", false},  // becomes the 28th, in the past
    };
    RecordingPage page;
    const QmStringList m = months();
    const QmStringList y = years();
    auto s = line("BDAY 10 10 220 24 4 0");
    QmDateField field(s, &page, &m, &y);
    const FixedClock clock(QDate(2024, 6, 15));
    field.SetClock(&clock);
    for (const Case& c : cases) {
        field.SetTextNotify(QString::fromLatin1(c.text));
        EXPECT_EQ(field.IsFutureDate(), c.future) << c.text;
    }

    MessageRecorder messages;
    Constraint noFuture;
    noFuture.SetFlags(QmDateField::kFutureDateCheck, 0);
    field.SetConstraint(&noFuture);
    field.SetTextNotify(QStringLiteral("6/16/2024"));
    EXPECT_FALSE(field.Validate());
    EXPECT_EQ(field.FocusIndex(), 0);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(messages.boxes[0].text.startsWith(QStringLiteral("You may not use a future date for")));
    field.SetTextNotify(QStringLiteral("6/1/2024"));
    EXPECT_TRUE(field.Validate());
}

TEST(DateField, APartlyChosenDateMustBeCompleted)
{
    MessageRecorder messages;
    RecordingPage page;
    const QmStringList m = months();
    const QmStringList y = years();
    auto s = line("BDAY 10 10 220 24 4 0");
    QmDateField field(s, &page, &m, &y);
    Constraint optional;
    field.SetConstraint(&optional);
    EXPECT_TRUE(field.Validate());  // nothing chosen, nothing required
    field.Month()->Choose(4);
    EXPECT_FALSE(field.Validate());
    EXPECT_EQ(field.FocusIndex(), 1);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(messages.boxes[0].text.startsWith(QStringLiteral("A selection must be made from the day list of")));
    // The constraint is required only for that check.
    EXPECT_EQ(optional.GetFlags() & ConstraintFlag::Required, 0u);
}

TEST(Picture, TextOnlyFromItsOwnLineAndContrastPlacement)
{
    RecordingPage page;
    QmStrStream s(QStringLiteral("LOGO 5 6 2 LOGO\n>CAPTION CAPT 1 2 3 4 Hello\n"));
    QmDibWind picture(s, &page);
    QString next;
    ASSERT_TRUE(s.readWord(next));
    EXPECT_EQ(next, QStringLiteral(">CAPTION"));
    EXPECT_EQ(picture.windowTitle(), QString());
    EXPECT_EQ(picture.NaturalRect(), QmRect(5, 6, 9, 10));
    EXPECT_EQ(picture.GetControlId(), 333);

    auto t = line("LOGO 5 6 0 LOGO Hello");
    QmDibWind titled(t, &page);
    EXPECT_EQ(titled.windowTitle(), QStringLiteral("Hello"));

    ScreenInfo::SetMetricsSource([] { return ScreenInfo::Metrics{96, 96, true}; });
    ScreenInfo::Instance().Refresh();
    ScreenInfo::Instance().SetOptions(ScreenInfo::kContrast, 0);
    picture.UpdateColors();
    titled.UpdateColors();
    EXPECT_EQ(picture.size(), QSize(0, 0));
    EXPECT_EQ(titled.size(), QSize(4, 4));
    ScreenInfo::Instance().SetOptions(0, ScreenInfo::kContrast);
    picture.UpdateColors();
    EXPECT_EQ(picture.size(), QSize(4, 4));
    ScreenInfo::SetMetricsSource({});
    ScreenInfo::Instance().Refresh();
}

}  // namespace
