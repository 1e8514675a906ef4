// A registration page used from the keyboard alone: pages built from a page script, shown
// and active, and keys sent to whichever widget has the focus, as a user's keys are.
#include "RegWindTestSupport.h"

#include "regengine/ui/controls/QmDateField.h"
#include "regengine/ui/controls/QmGroupWindow.h"
#include "regengine/ui/controls/QmPopup.h"
#include "regengine/ui/element/QmControl.h"

#include "tests/support/RecordingSink.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

using namespace engine;
using launcher::RegWind;
using launcher::ScriptReader;
namespace RegCommand = launcher::RegCommand;

namespace {

constexpr int kCancelCommand = 9100;

// The window records every command it is sent before it acts on it; the controls' own
// notices (1001 to 1008: values, focus, keys) are no commands.
class RecordingWind : public RegWind {
public:
    explicit RecordingWind(QmStrStream& script) : RegWind(script) {}
    int OnNotify(QmWind* source, int code, int value) override
    {
        if (code < QmNotify::ValueChanged || code > QmNotify::EditKeyUp)
            commands.append(code);
        return RegWind::OnNotify(source, code, value);
    }
    QList<int> commands;
};

const QString kScript = QStringLiteral(
    ">LIST Towns\nAarhus\nBergen\nCork\n"
    ">LIST Plans\nChoose a plan\nGold\nBasic\n"
    ">LIST Months\nMonth\nJanuary\nFebruary\n"
    ">LIST Years\nYear\n2024\n2025\n"
    ">WIND KEYS 0 0 640 480 0x00020000 Keyboard\n"
    ">DEFAULTCANCELCMD 9100\n"
    ">PAGE PG01 0 0 640 480 0 First\n"
    ">EDIT NAME 10 10 200 20 _\n"
    ">EDIT NOTE 10 36 200 48 _\n"
    ">MASK Phone 0x20000 000-000-0000 SSS-SSS-SSSS\n"
    ">MASKEDIT PHON 10 90 120 20 _\n"
    ">SETCONSTRAINT PHON Phone\n"
    ">COMBO Towns TOWN 10 116 150 200 3 0 0 _\n"
    ">COMBO Towns TWNE 170 116 150 200 4 0 1 _\n"
    ">POPUP Plans PLAN 330 116 150 24 5 1 0 _\n"
    ">DATEFIELD Months Years BDAY 10 146 210 24 6 0 \"Birthday\"\n"
    ">GROUP RADI 10 180 300 30 0 0 \"Salutation\"\n"
    ">RADIOBUTTON MR__ 0 4 90 20 11 0 0 Mr\n"
    ">RADIOBUTTON MS__ 100 4 90 20 12 0 0 Ms\n"
    ">RADIOBUTTON MX__ 200 4 90 20 13 0 0 Mx\n"
    ">ENDGROUP\n"
    ">CHECKGROUP CHKG 10 214 300 30 0 0 0 2 \"Interests\"\n"
    ">CHECKBOX NEWS 0 4 90 20 21 0 0 News\n"
    ">CHECKBOX OFFR 100 4 90 20 22 0 0 Offers\n"
    ">CHECKBOX EVNT 200 4 90 20 23 0 0 Events\n"
    ">ENDGROUP\n"
    ">MULTIGROUP MULT 10 248 300 30 0 0\n"
    ">CHECKBOX M-01 0 4 90 20 31 0 2 One\n"
    ">CHECKBOX M-02 100 4 90 20 32 0 2 Two\n"
    ">EDIT ZIP1 200 4 90 20 _\n"
    ">ENDGROUP\n"
    ">CHECKBOX AGRE 10 282 300 20 41 0 0 I agree\n"
    ">RADIOBUTTON LONE 10 306 300 20 42 0 0 On its own\n"
    ">HYPERLINK LINK 10 330 200 18 Privacy^https://example.org/privacy\n"
    ">GRAPHICBUTTON GOBT 10 352 64 24 43 2000 800000 GO Go\n"
    ">CLEARBUTTON CLRB 90 352 64 24 44 2000 800000 _\n"
    ">PUSHBUTTON BACK 400 440 90 26 51 2000 0 Back\n"
    ">PUSHBUTTON NEXT 500 440 90 26 52 2001 8 Next\n"
    ">PAGE PG02 0 0 640 480 0 Second\n"
    ">EDIT LAST 10 10 200 20 _\n"
    ">PUSHBUTTON PREV 400 440 90 26 61 2000 0 Back\n"
    ">END\n");

class PageKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        reader_ = std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(kScript), QString(), LangCode("EN"));
        reader_->SetWindowFactory([](QmStrStream& script) { return std::make_unique<RecordingWind>(script); });
        reader_->Run();
        window_ = dynamic_cast<RecordingWind*>(reader_->GetWindow());
        ASSERT_NE(window_, nullptr);
        window_->show();
        QApplication::setActiveWindow(window_);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
    }

    QWidget* widget(const char* code) const
    {
        QmWind* element = window_->FindControl(FourCC(code));
        return element != nullptr ? element->GetWindow() : nullptr;
    }
    QmControl* control(const char* code) const { return dynamic_cast<QmControl*>(window_->FindControl(FourCC(code))); }
    void focus(QWidget* w) const
    {
        ASSERT_NE(w, nullptr);
        w->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(w->hasFocus() || w->isAncestorOf(QApplication::focusWidget()));
    }
    // The key goes where the user's would: to the focused widget, up through its parents.
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, k, mods);
    }
    // The code of the element whose window has the focus (or holds it, as a combo holds
    // its line edit).
    QString focusedCode() const
    {
        std::function<QmWind*(QmWind*, const QWidget*)> find = [&find](QmWind* element, const QWidget* w) {
            if (element->GetWindow() == w)
                return element;
            for (QmWind* child : element->GetChildren()) {
                if (QmWind* found = child != nullptr ? find(child, w) : nullptr)
                    return found;
            }
            return static_cast<QmWind*>(nullptr);
        };
        for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
            if (QmWind* element = find(window_, w))
                return FieldCodeToString(element->GetCode());
        }
        return {};
    }

    std::unique_ptr<ScriptReader> reader_;
    RecordingWind* window_ = nullptr;
    regwindtest::RecordingOpener opener_;
    testsupport::RecordingSink sink_;
};

// Enter presses the default button, exactly as a click: its command moves the page on.
// Controls that take Enter themselves keep it: a multi-line edit, a focused push button,
// a link.
TEST_F(PageKeyboard, EnterPressesTheDefaultButtonFromAnyControlThatLeavesIt)
{
    auto* next = qobject_cast<QPushButton*>(widget("NEXT"));
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->isDefault()) << "the default look";
    EXPECT_EQ(focusedCode(), QStringLiteral("NAME")) << "a shown page starts at its first tab item";

    struct Case {
        const char* code;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    } const cases[] = {
        {"NAME", Qt::Key_Return, Qt::NoModifier}, {"NAME", Qt::Key_Enter, Qt::KeypadModifier},
        {"PHON", Qt::Key_Return, Qt::NoModifier}, {"TOWN", Qt::Key_Return, Qt::NoModifier},
        {"TWNE", Qt::Key_Return, Qt::NoModifier}, {"MS__", Qt::Key_Return, Qt::NoModifier},
        {"NEWS", Qt::Key_Return, Qt::NoModifier}, {"M-01", Qt::Key_Return, Qt::NoModifier},
        {"AGRE", Qt::Key_Return, Qt::NoModifier}, {"GOBT", Qt::Key_Enter, Qt::KeypadModifier},
        {"NEXT", Qt::Key_Return, Qt::NoModifier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        window_->GoToPage(0);
        window_->commands.clear();
        focus(widget(c.code));
        key(c.key, c.mods);
        EXPECT_EQ(window_->commands, QList<int>{RegCommand::NextPage});
        EXPECT_EQ(window_->GetCurrentPageIndex(), 1);
    }

    window_->GoToPage(0);
    window_->commands.clear();
    auto* note = qobject_cast<QPlainTextEdit*>(widget("NOTE"));
    focus(note);
    QTest::keyClicks(note, QStringLiteral("one"));
    key(Qt::Key_Return);
    QTest::keyClicks(note, QStringLiteral("two"));
    EXPECT_EQ(note->toPlainText(), QStringLiteral("one\ntwo"));
    focus(widget("BACK"));
    key(Qt::Key_Return);
    focus(widget("LINK"));
    key(Qt::Key_Return);
    EXPECT_EQ(window_->commands, (QList<int>{RegCommand::PreviousPage, RegCommand::Hyperlink}));
    EXPECT_EQ(window_->GetCurrentPageIndex(), 0);
    ASSERT_EQ(opener_.opened.size(), 1);

    // A held Enter presses once.
    window_->commands.clear();
    focus(widget("NAME"));
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    EXPECT_TRUE(window_->commands.isEmpty());
}

TEST_F(PageKeyboard, WithoutADefaultButtonEnterDoesNothing)
{
    window_->GoToPage(1);
    window_->commands.clear();
    EXPECT_EQ(focusedCode(), QStringLiteral("LAST"));
    key(Qt::Key_Return);
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(window_->commands.isEmpty());
    EXPECT_EQ(window_->GetCurrentPageIndex(), 1);
}

// Radio group: the arrows move and select, wrapping. Check and multi-field groups: they
// move the focus only, Space changes the member within the group's limits. Tab leaves each
// group as one stop.
TEST_F(PageKeyboard, ArrowsStayInTheirGroup)
{
    auto* radio = dynamic_cast<QmGroupWindow*>(window_->FindControl(FourCC("RADI")));
    ASSERT_NE(radio, nullptr);
    focus(widget("MR__"));
    struct Step {
        Qt::Key key;
        const char* focused;
    } const radioSteps[] = {
        {Qt::Key_Down, "MS__"}, {Qt::Key_Right, "MX__"}, {Qt::Key_Down, "MR__"},
        {Qt::Key_Up, "MX__"},   {Qt::Key_Left, "MS__"},
    };
    for (const Step& s : radioSteps) {
        key(s.key);
        EXPECT_EQ(focusedCode(), QString::fromLatin1(s.focused));
        ASSERT_NE(radio->GetSelected(), nullptr);
        EXPECT_EQ(FieldCodeToString(radio->GetSelected()->GetCode()), QString::fromLatin1(s.focused));
    }
    EXPECT_EQ(control("MR__")->Value() + control("MS__")->Value() + control("MX__")->Value(), 1);

    // Tab leaves the radio group for the check group, Shift+Tab comes back to the choice.
    key(Qt::Key_Tab);
    EXPECT_EQ(focusedCode(), QStringLiteral("NEWS"));
    key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focusedCode(), QStringLiteral("MS__"));

    focus(widget("NEWS"));
    key(Qt::Key_Right);
    EXPECT_EQ(focusedCode(), QStringLiteral("OFFR"));
    EXPECT_EQ(control("NEWS")->Value() + control("OFFR")->Value(), 0) << "moving changes nothing";
    key(Qt::Key_Space);
    key(Qt::Key_Left);
    key(Qt::Key_Space);
    EXPECT_EQ(control("NEWS")->Value(), 1);
    EXPECT_EQ(control("OFFR")->Value(), 1);
    key(Qt::Key_Up);
    EXPECT_EQ(focusedCode(), QStringLiteral("EVNT")) << "wraps from the first to the last";
    key(Qt::Key_Space);
    EXPECT_EQ(control("EVNT")->Value(), 0) << "a third of at most two is refused";
    EXPECT_FALSE(qobject_cast<QAbstractButton*>(widget("EVNT"))->isChecked());
    key(Qt::Key_Tab);
    EXPECT_EQ(focusedCode(), QStringLiteral("M-01"));

    key(Qt::Key_Down);
    EXPECT_EQ(focusedCode(), QStringLiteral("M-02"));
    EXPECT_EQ(control("M-01")->Value(), 0);
    key(Qt::Key_Space);
    EXPECT_EQ(window_->FindControl(FourCC("MULT"))->GetValue(), QStringLiteral("Two"));
    key(Qt::Key_Down);
    EXPECT_EQ(focusedCode(), QStringLiteral("ZIP1"));
    // An edit among the members keeps its arrows for its caret.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12"));
    key(Qt::Key_Left);
    key(Qt::Key_Up);
    EXPECT_EQ(focusedCode(), QStringLiteral("ZIP1"));
}

// Escape is the window's Cancel wherever the focus is.
TEST_F(PageKeyboard, EscapeFromEveryControlReachesCancel)
{
    auto* date = dynamic_cast<QmDateField*>(window_->FindControl(FourCC("BDAY")));
    ASSERT_NE(date, nullptr);
    QList<QPair<QString, QWidget*>> targets;
    for (const char* code : {"NAME", "NOTE", "PHON", "TOWN", "TWNE", "PLAN", "MS__", "NEWS", "M-01", "ZIP1", "AGRE",
                             "LONE", "LINK", "GOBT", "CLRB", "BACK", "NEXT"})
        targets.append({QString::fromLatin1(code), widget(code)});
    targets.append({QStringLiteral("BDAY month"), date->Month()});
    for (const auto& [name, target] : targets) {
        SCOPED_TRACE(name.toStdString());
        window_->commands.clear();
        focus(target);
        key(Qt::Key_Escape);
        EXPECT_EQ(window_->commands, QList<int>{kCancelCommand});
    }
}

}  // namespace
