#include "ControlTestSupport.h"

#include "regengine/ui/controls/QmBitmapButtons.h"
#include "regengine/ui/controls/QmButtons.h"
#include "regengine/ui/controls/QmGroupWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

using namespace engine;
using namespace controltest;

namespace {

// Records what each notification's sender holds as its value when the page hears of it.
class ValuePage : public RecordingPage {
public:
    int OnNotify(QmWind* source, int code, int value) override
    {
        if (const auto* control = dynamic_cast<const QmControl*>(source))
            stored.push_back(control->Value());
        return RecordingPage::OnNotify(source, code, value);
    }
    std::vector<int> stored;
};

class Plain : public QLineEdit, public QmWind {
public:
    Plain(QmWind* parent, const char* code) : QLineEdit(ParentWindowOf(parent)), QmWind(parent)
    {
        SetWindow(this);
        SetCode(FourCC(code));
        show();
    }
};

void activate(QWidget& page)
{
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
}

// Every command button reports once per activation, whether by mouse or by Space.
struct CommandCase {
    const char* name;
    const char* keyword;
    const char* line;
    bool keyboard;
};

QmWind* makeButton(const CommandCase& c, QmWind* parent)
{
    auto s = line(c.line);
    const std::string keyword = c.keyword;
    if (keyword == "PUSHBUTTON")
        return new QmPushButton(s, parent);
    if (keyword == "GRAPHICBUTTON")
        return new QmGraphicButton(s, parent);
    if (keyword == "HOVERBUTTON")
        return new CHoverButton(s, parent);
    return new QmClearButton(s, parent);
}

class CommandTest : public testing::TestWithParam<CommandCase> {};

TEST_P(CommandTest, OneCommandPerClickAndPerSpace)
{
    const CommandCase& c = GetParam();
    RecordingPage page;
    QmWind* button = makeButton(c, &page);
    QWidget* window = button->GetWindow();
    ASSERT_NE(window, nullptr);
    activate(page);

    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, window->rect().center());
    EXPECT_EQ(page.log, (std::vector<std::string>{"BTTN:42:0"})) << "mouse";
    if (!c.keyboard) {
        EXPECT_FALSE(window->focusPolicy() & Qt::TabFocus);
        return;
    }
    page.log.clear();
    window->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(window->hasFocus());
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_EQ(page.log, (std::vector<std::string>{"BTTN:42:0"})) << "space";
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, CommandTest,
    testing::Values(CommandCase{"Push", "PUSHBUTTON", "BTTN 10 10 80 24 7 42 0 Next", true},
                    CommandCase{"Graphic", "GRAPHICBUTTON", "BTTN 10 10 64 24 7 42 800000 PIC", true},
                    CommandCase{"GraphicNoTabStop", "GRAPHICBUTTON", "BTTN 10 10 64 24 7 42 0 PIC", false},
                    CommandCase{"Hover", "HOVERBUTTON", "BTTN 10 10 64 24 7 42 PIC", false},
                    CommandCase{"Clear", "CLEARBUTTON", "BTTN 10 10 64 24 7 42 800000 _", true}),
    [](const testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

TEST(PushButton, LineFlagsAndCommandZero)
{
    RecordingPage page;
    auto s1 = line("OKAY 10 10 80 24 7 0 0 Done^yes");
    auto* none = new QmPushButton(s1, &page);
    auto s2 = line("HIDE 10 40 80 24 8 5 100000 Hidden");
    auto* hidden = new QmPushButton(s2, &page);
    page.show();
    EXPECT_FALSE(none->isEnabled());
    EXPECT_EQ(none->GetControlId(), 7);
    EXPECT_EQ(none->text(), QStringLiteral("Done"));
    EXPECT_EQ(none->GetStoredValue(), QStringLiteral("yes"));
    EXPECT_TRUE(hidden->isHidden());
    EXPECT_EQ(hidden->GetCommand(), 5);
    // Nothing at all from the right button.
    QTest::mouseClick(hidden, Qt::RightButton);
    EXPECT_TRUE(page.log.empty());
}

TEST(StateButton, ClickStoresBeforeItNotifiesSetValueAfter)
{
    ValuePage page;
    auto s = line("CHK1 10 10 120 20 3 0 0 Send me news");
    auto* box = new QmStateButton(s, &page, QmStateButton::CheckBox);
    auto* window = qobject_cast<QCheckBox*>(box->GetWindow());
    ASSERT_NE(window, nullptr);
    activate(page);

    QTest::mouseClick(window, Qt::LeftButton);
    EXPECT_TRUE(window->isChecked());
    EXPECT_EQ(box->GetValue(), QStringLiteral("1"));
    box->SetValue(0);
    EXPECT_FALSE(window->isChecked());
    EXPECT_EQ(page.log, (std::vector<std::string>{"CHK1:1001:1", "CHK1:1001:0"}));
    EXPECT_EQ(page.stored, (std::vector<int>{1, 1}));
    EXPECT_EQ(box->GetValue(), QString());
}

TEST(StateButton, TextsAndValues)
{
    struct Case {
        const char* text;
        int value;
    } const cases[] = {{"0", 0}, {"", 0}, {"0yes", 0}, {"1", 1}, {"x", 1}, {" 0", 1}};
    RecordingPage page;
    auto s = line("CHK1 10 10 120 20 3 0 2 Yes please");
    auto* box = new QmStateButton(s, &page, QmStateButton::CheckBox);
    for (const Case& c : cases) {
        box->SetTextNotify(QString::fromLatin1(c.text));
        EXPECT_EQ(box->Value(), c.value) << c.text;
        EXPECT_EQ(qobject_cast<QCheckBox*>(box->GetWindow())->isChecked(), c.value != 0) << c.text;
        // With flag 0x2 the value of a checked box is its text.
        EXPECT_EQ(box->GetValue(), c.value ? QStringLiteral("Yes please") : QString()) << c.text;
    }
}

TEST(StateButton, SpaceOnABoxItsFullGroupRefusesLeavesMarkAndValueInStep)
{
    MessageRecorder messages;
    RecordingPage page;
    auto g = line("CHKS 10 10 200 90 0 0 0 1");
    auto* group = new QmChkGroupWindow(g, &page);
    auto s1 = line("ONE_ 0 0 120 20 1 0 0 One");
    auto* one = new QmStateButton(s1, group, QmStateButton::CheckBox);
    auto s2 = line("TWO_ 0 30 120 20 2 0 0 Two");
    auto* two = new QmStateButton(s2, group, QmStateButton::CheckBox);
    activate(page);

    QTest::mouseClick(one->GetWindow(), Qt::LeftButton);
    ASSERT_EQ(one->Value(), 1);
    two->GetWindow()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(two->GetWindow(), Qt::Key_Space);
    EXPECT_EQ(messages.beeps.size(), 1u);
    EXPECT_EQ(two->Value(), 0);
    EXPECT_FALSE(qobject_cast<QCheckBox*>(two->GetWindow())->isChecked());
    QTest::mouseClick(two->GetWindow(), Qt::LeftButton);
    EXPECT_EQ(two->Value(), 0);
    EXPECT_FALSE(qobject_cast<QCheckBox*>(two->GetWindow())->isChecked());
    EXPECT_EQ(group->CountChecked(), 1);
}

TEST(StateButton, RadioTabLeavesItsGroupAndMovesOnOutsideOne)
{
    RecordingPage page;
    auto* before = new Plain(&page, "BEFO");
    before->move(10, 0);
    auto g = line("RADI 10 40 200 70 0 0");
    auto* group = new QmGroupWindow(g, &page);
    auto s1 = line("OPTA 0 0 120 20 1 0 0 Alpha");
    auto* a = new QmStateButton(s1, group, QmStateButton::RadioButton);
    auto s2 = line("OPTB 0 30 120 20 2 0 0 Beta");
    auto* b = new QmStateButton(s2, group, QmStateButton::RadioButton);
    auto s3 = line("LONE 10 120 120 20 3 0 0 Alone");
    auto* lone = new QmStateButton(s3, &page, QmStateButton::RadioButton);
    auto* after = new Plain(&page, "AFTR");
    after->move(10, 160);
    activate(page);

    QTest::mouseClick(b->GetWindow(), Qt::LeftButton);
    EXPECT_EQ(group->GetSelected(), b);
    EXPECT_EQ(a->Value(), 0);
    // Clicking the one that is on leaves it on.
    QTest::mouseClick(b->GetWindow(), Qt::LeftButton);
    EXPECT_EQ(b->Value(), 1);

    b->GetWindow()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(b->GetWindow(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), before);
    b->GetWindow()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(b->GetWindow(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), lone->GetWindow());
    // Outside any group Tab is the window's own.
    QTest::keyClick(lone->GetWindow(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), after);
}

TEST(GraphicButton, APressDraggedOffAndReleasedSendsNothingAndFreesTheMouse)
{
    RecordingPage page;
    auto s = line("BTTN 10 10 64 24 7 42 a00000 PIC");
    auto* button = new QmGraphicButton(s, &page);
    activate(page);
    EXPECT_TRUE(button->UpBitmap().IsLoaded());
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);

    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseMove(button, QPoint(200, 200));
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    EXPECT_TRUE(page.log.empty());
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    // The next click anywhere else reaches its own widget.
    auto t = line("OTHR 10 60 80 24 8 43 0 Other");
    auto* other = new QmPushButton(t, &page);
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(page.log, (std::vector<std::string>{"OTHR:43:0"}));
}

TEST(GraphicButton, FocusFrameOnlyWithTheTabStopFlag)
{
    RecordingPage page;
    auto s = line("BTTN 10 10 64 24 7 42 800000 PIC");
    auto* button = new QmGraphicButton(s, &page);
    activate(page);
    button->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(button->HasFocusFrame());
    auto* other = new Plain(&page, "OTHR");
    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(button->HasFocusFrame());
}

TEST(HoverButton, DownWhileThePointerIsOver)
{
    RecordingPage page;
    auto s = line("HOVR 10 10 64 24 7 42 PIC");
    auto* button = new CHoverButton(s, &page);
    activate(page);
    EXPECT_EQ(button->text(), QStringLiteral("PIC"));
    EXPECT_TRUE(button->UpBitmap().IsLoaded());
    EXPECT_TRUE(button->DownBitmap().IsLoaded());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->IsHovered());
    EXPECT_TRUE(button->isDown());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsHovered());
    EXPECT_FALSE(button->isDown());
}

TEST(ToggleButton, ClicksFlipAndFlagOneKeepsItOn)
{
    QmToggleButton::ResetGroupStart();
    ValuePage page;
    auto s1 = line("TOG1 10 10 24 24 1 0 0 PIC First toggle   ");
    auto* free = new QmToggleButton(s1, &page);
    auto s2 = line("TOG2 40 10 24 24 2 0 1 PIC Second");
    auto* sticky = new QmToggleButton(s2, &page);
    activate(page);
    EXPECT_TRUE(free->StartsGroup());
    EXPECT_FALSE(sticky->StartsGroup());
    EXPECT_EQ(free->text(), QStringLiteral("First toggle"));
    EXPECT_EQ(free->geometry(), QRect(10, 10, 24, 24));

    struct Step {
        QmToggleButton* button;
        int value;
    } const steps[] = {{free, 1}, {free, 0}, {sticky, 1}, {sticky, 1}};
    for (const Step& step : steps) {
        QTest::mouseClick(step.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_EQ(step.button->Value(), step.value);
        EXPECT_EQ(step.button->isDown(), step.value != 0);
    }
    // Two-state: a toggle that is off reads empty, one that is on its text.
    EXPECT_EQ(free->GetValue(), QString());
    EXPECT_EQ(sticky->GetValue(), QStringLiteral("Second"));
    EXPECT_EQ(page.log, (std::vector<std::string>{"TOG1:1001:1", "TOG1:1001:0", "TOG2:1001:1"}));
}

TEST(ClearButton, TabStopOnlyWithTheFlagAndItsText)
{
    RecordingPage page;
    auto s1 = line("CLR1 10 10 64 24 1 5 800000 Hot^spot");
    auto* stop = new QmClearButton(s1, &page);
    auto s2 = line("CLR2 10 40 64 24 2 6 0 _");
    auto* plain = new QmClearButton(s2, &page);
    activate(page);
    EXPECT_TRUE(stop->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(plain->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(plain->GetText(), QString());
    EXPECT_EQ(stop->GetText(), QStringLiteral("Hot"));
    EXPECT_EQ(stop->GetStoredValue(), QStringLiteral("spot"));
    stop->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(stop->HasFocusFrame());
}

}  // namespace
