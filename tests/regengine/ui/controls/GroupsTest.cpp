#include "ControlTestSupport.h"

#include "regengine/core/Constraint.h"
#include "regengine/ui/controls/QmBasicGroup.h"
#include "regengine/ui/controls/QmBox.h"
#include "regengine/ui/controls/QmGroupWindow.h"
#include "regengine/ui/element/QmBasicDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace engine;
using namespace controltest;

namespace {

// A tab item outside the groups, as the page's other controls are.
class Plain : public QLineEdit, public QmWind {
public:
    Plain(QmWind* parent, const char* code) : QLineEdit(ParentWindowOf(parent)), QmWind(parent)
    {
        SetWindow(this);
        SetCode(FourCC(code));
        show();
    }
};

TEST(RadioGroup, ClicksAndTextsSelectOneMember)
{
    RecordingPage page;
    auto s = line("RADI 10 10 200 90 0 0");
    auto* group = new QmGroupWindow(s, &page);
    auto* a = new TestCheck(group, "OPTA", "Alpha");
    auto* b = new TestCheck(group, "OPTB", "Beta");
    a->move(0, 0);
    b->move(0, 30);
    page.show();

    QTest::mouseClick(a, Qt::LeftButton);
    EXPECT_EQ(group->GetSelected(), a);
    EXPECT_EQ(group->GetValue(), QStringLiteral("Alpha"));
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(a->Value(), 0);
    EXPECT_FALSE(a->isChecked());
    EXPECT_EQ(group->GetSelected(), b);
    // The page hears the selection by member index; the members' own 1001s stay in the group.
    EXPECT_EQ(page.log, (std::vector<std::string>{"RADI:1003:0", "RADI:1003:1"}));

    group->SetTextNotify(QStringLiteral("Alpha"));
    EXPECT_EQ(group->GetSelected(), a);
    EXPECT_EQ(b->Value(), 0);
    // Its own label never selects anything.
    group->SetTextNotify(QString());
    EXPECT_EQ(group->GetSelected(), a);
}

TEST(RadioGroup, ByCodeTakesTheFirstFourLettersAndReportsTheCode)
{
    RecordingPage page;
    auto s = line("RADI 10 10 200 90 0 0x4 \"Pick one\"");
    auto* group = new QmGroupWindow(s, &page);
    EXPECT_EQ(group->GetLabel(), QStringLiteral("Pick one"));
    new TestCheck(group, "OPTA", "Alpha");
    auto* b = new TestCheck(group, "OPTB", "Beta");
    group->SetTextNotify(QStringLiteral("OPTBX"));
    EXPECT_EQ(group->GetSelected(), b);
    EXPECT_EQ(group->GetValue(), QStringLiteral("OPTB"));
}

TEST(RadioGroup, RequiredWithoutSelection)
{
    struct Case {
        const char* name;
        const char* fieldName;
        const char* message;
    } const cases[] = {
        {"no field name", nullptr, "A choice must be made from the required radio group."},
        {"with a field name", "salutation", "Please specify your salutation."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPage page;
        if (c.fieldName != nullptr)
            page.names.insert(QStringLiteral("RADI"), QString::fromLatin1(c.fieldName));
        auto s = line("RADI 10 10 200 90 0 0");
        auto* group = new QmGroupWindow(s, &page);
        auto* a = new TestCheck(group, "OPTA", "Alpha");
        QmStrStream rule(QStringLiteral("Req 1 0 0"));
        Constraint required(rule);
        group->SetConstraint(&required);
        MessageRecorder sink;
        EXPECT_FALSE(group->Validate());
        ASSERT_EQ(sink.boxes.size(), 1u);
        EXPECT_EQ(sink.boxes[0].text, QString::fromLatin1(c.message));
        EXPECT_EQ(sink.boxes[0].caption, QStringLiteral("Required"));
        a->SetValue(1);
        EXPECT_TRUE(group->Validate());
        group->SetConstraint(nullptr);
    }
}

TEST(CheckGroup, MaximumRefusesTheUsersThirdButNotTheProgramsSetValue)
{
    RecordingPage page;
    auto s = line("CHKG 10 10 200 120 0 0 1 2");
    auto* group = new QmChkGroupWindow(s, &page);
    EXPECT_EQ(group->GetMinimum(), 1);
    EXPECT_EQ(group->GetMaximum(), 2);
    TestCheck* boxes[3];
    for (int i = 0; i < 3; ++i) {
        boxes[i] = new TestCheck(group, i == 0 ? "CHK1" : i == 1 ? "CHK2" : "CHK3", "x");
        boxes[i]->move(0, i * 30);
    }
    page.show();
    MessageRecorder sink;
    QTest::mouseClick(boxes[0], Qt::LeftButton);
    QTest::mouseClick(boxes[1], Qt::LeftButton);
    QTest::mouseClick(boxes[2], Qt::LeftButton);
    EXPECT_EQ(boxes[2]->Value(), 0);
    EXPECT_FALSE(boxes[2]->isChecked());
    EXPECT_EQ(sink.beeps, (std::vector<unsigned>{platform::mb::IconAsterisk}));
    // Through SetValue the count is taken before the change, so a third is accepted.
    boxes[2]->SetValue(1);
    EXPECT_EQ(group->CountChecked(), 3);
    EXPECT_EQ(sink.beeps.size(), 1u);
    EXPECT_TRUE(page.log.empty());
}

TEST(CheckGroup, MinimumMessagesAndTheFirstCheckedAtClose)
{
    struct Case {
        const char* name;
        const char* line;
        bool valid;
        const char* message;
    } const cases[] = {
        {"minimum 0 always validates", "CHKG 0 0 10 10 0 0 0 3", true, nullptr},
        {"minimum 1", "CHKG 0 0 10 10 0 0 1 3", false, "You must select at least one choice from the colour group."},
        {"minimum 2", "CHKG 0 0 10 10 0 0 2 3", false, "You must select at least 2 choices from the colour group."},
        {"first checked at ENDGROUP meets minimum 1", "CHKG 0 0 10 10 0 1 1 3", true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPage page;
        page.names.insert(QStringLiteral("CHKG"), QStringLiteral("colour"));
        auto s = line(c.line);
        auto* group = new QmChkGroupWindow(s, &page);
        auto* first = new TestCheck(group, "CHK1", "red");
        new TestCheck(group, "CHK2", "blue");
        group->CloseGroup();
        MessageRecorder sink;
        EXPECT_EQ(group->Validate(), c.valid);
        ASSERT_EQ(sink.boxes.size(), c.message != nullptr ? 1u : 0u);
        if (c.message != nullptr) {
            EXPECT_EQ(sink.boxes[0].text, QString::fromLatin1(c.message));
        } else if (group->GetFlags() & QmGroupFlag::FirstChecked) {
            EXPECT_EQ(first->Value(), 1);
        }
    }
}

// Tab from the item before a group enters at the selected member; Tab and Shift+Tab from a
// member leave the group, whether the member asks (1004/1005) or Qt moves the focus; a
// group without a tab stop is passed over.
TEST(GroupFocus, TabAndShiftTab)
{
    RecordingPage page;
    auto* before = new Plain(&page, "BEFO");
    auto s = line("RADI 10 40 200 90 0 0");
    auto* group = new QmGroupWindow(s, &page);
    auto* a = new TestCheck(group, "OPTA", "Alpha");
    auto* b = new TestCheck(group, "OPTB", "Beta");
    auto* c = new TestCheck(group, "OPTC", "Gamma");
    a->move(0, 0);
    b->move(0, 30);
    c->move(0, 60);
    auto* after = new Plain(&page, "AFTR");
    auto t = line("SKIP 10 140 200 40 0 0x800000");
    auto* skipped = new QmBasicGroup(t, &page);
    auto* hidden = new Plain(skipped, "INSK");
    auto* last = new Plain(&page, "LAST");
    before->move(10, 10);
    after->move(10, 200);
    last->move(10, 260);
    (void)hidden;
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    b->SetValue(1);

    struct Step {
        const char* name;
        QWidget* from;
        bool backward;
        QWidget* to;
    } const steps[] = {
        {"into the group at its selected member", before, false, b},    {"out of the group forward", b, false, after},
        {"past the group without a tab stop", after, false, last},      {"back past it", last, true, after},
        {"back into the group at its selected member", after, true, b}, {"out of the group backward", b, true, before},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.from->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), step.from);
        QTest::keyClick(step.from, step.backward ? Qt::Key_Backtab : Qt::Key_Tab,
                        step.backward ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(QApplication::focusWidget(), step.to);
    }
}

TEST(MultiGroup, JoinsValuesAndSwitchesMembersOnByText)
{
    RecordingPage page;
    auto s = line("MULT 0 0 200 60 0 0");
    auto* group = new QmMultiGroup(s, &page);
    auto* ab = new TestCheck(group, "M-AB", "ab");
    auto* cd = new TestCheck(group, "M-CD", "cd");
    auto* ef = new TestCheck(group, "M-EF", "ef");
    // A member's value is its text while it is on.
    for (TestCheck* member : {ab, cd, ef})
        member->SetValue(1);
    EXPECT_EQ(group->GetValue(), QStringLiteral("abcdef"));
    ab->SetValue(0);
    EXPECT_EQ(group->GetValue(), QStringLiteral("cdef"));
    // Members whose value is empty match nothing, so the scan stops at "ab".
    cd->SetValue(0);
    group->SetTextNotify(QStringLiteral("efab"));
    EXPECT_EQ(ef->Value(), 1);
    EXPECT_EQ(ab->Value(), 0);
}

TEST(BoxAndRule, CaptionsAndPainting)
{
    struct Case {
        const char* line;
        const char* caption;
    } const cases[] = {
        {"BOX1 0 0 100 50 0x10 Your \\x41ddress  ", "Your Address"},
        {"BOX2 0 0 100 50 0 _anything after it", ""},
        {"BOX3 0 0 100 50 0 <b>bold</b>", "<b>bold</b>"},
    };
    RecordingPage page;
    for (const Case& c : cases) {
        auto s = line(c.line);
        auto* box = new QmBox(s, &page);
        EXPECT_EQ(box->title(), QString::fromLatin1(c.caption)) << c.line;
        EXPECT_EQ(box->GetControlId(), QmBox::kControlId);
    }
    EXPECT_EQ(page.FindByCode(FourCC("BOX1"))->GetFlags(), 0x10u);

    auto r = line("RULE 0 100 200 2 7");
    auto* rule = new QmHorizRule(r, &page);
    EXPECT_EQ(rule->GetControlId(), 7);
    EXPECT_EQ(rule->focusPolicy(), Qt::NoFocus);
    const QImage image = rule->grab().toImage();
    ASSERT_EQ(image.height(), 2);
    EXPECT_EQ(image.pixelColor(50, 0), QColor(0x55, 0x55, 0x55));
    EXPECT_EQ(image.pixelColor(50, 1), QColor(0xEE, 0xEE, 0xEE));
}

}  // namespace

namespace {

// A button-like element with a control id, as push buttons will be.
class TestButton : public QPushButton, public QmWind {
public:
    TestButton(QmWind* parent, const char* code, int id) : QPushButton(ParentWindowOf(parent)), QmWind(parent)
    {
        SetWindow(this);
        SetCode(FourCC(code));
        SetControlId(id);
        show();
    }
};

TEST(PageBase, DefaultButtonAndTheFirstTabItem)
{
    auto s = line("PAG1 0 0 300 200 0");
    QmBasicDialog page(s, nullptr);
    auto* none = new TestButton(&page, "NOID", 0);
    page.SetDefaultButton(none);
    EXPECT_EQ(page.GetDefaultButton(), nullptr);
    EXPECT_FALSE(none->isDefault());
    // The rule takes no focus.
    auto r = line("RULE 0 0 10 2 0");
    new QmHorizRule(r, &page);
    auto* first = new Plain(&page, "FRST");
    auto* ok = new TestButton(&page, "OKAY", 1);
    page.SetDefaultButton(ok);
    EXPECT_EQ(page.GetDefaultButton(), ok);
    EXPECT_TRUE(ok->isDefault());
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    none->setFocus();
    page.FocusFirst();
    // The button without an id is a tab item too, and comes first.
    EXPECT_EQ(QApplication::focusWidget(), none);
    none->setEnabled(false);
    page.FocusFirst();
    EXPECT_EQ(QApplication::focusWidget(), first);
}

}  // namespace
