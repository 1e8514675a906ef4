#include "ControlTestSupport.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/KeyFilter.h"
#include "regengine/ui/controls/QmCaption.h"
#include "regengine/ui/controls/QmDataHolder.h"
#include "regengine/ui/controls/QmEdit.h"
#include "regengine/ui/controls/QmMaskEdit.h"
#include "regengine/ui/element/ScreenInfo.h"
#include "regengine/ui/graphics/QmFont.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>

using namespace engine;
using namespace controltest;

namespace {

// Counts the value events (0x10) of the element it is attached to.
class ValueEvents : public Attachment {
public:
    ValueEvents() : Attachment(QStringLiteral("values")) {}
    bool ExecuteSelf(Attachable*, quint32 event) override
    {
        if (event == AttachEvent::ValueSet)
            ++count;
        return true;
    }
    std::unique_ptr<Attachment> CreateInstance(const QString&) const override { return nullptr; }
    void ReadParameters(QmStrStream&) override {}
    int count = 0;
};

QLineEdit* lineOf(QmEdit* edit)
{
    return qobject_cast<QLineEdit*>(edit->GetWindow());
}

QmEdit* makeEdit(RecordingPage& page, const char* text)
{
    auto s = line(text);
    return new QmEdit(s, &page, 0);
}

TEST(Caption, TextIsPlainAndTheLettersAlign)
{
    RecordingPage page;
    auto s = line("CAP1 10 10 200 20 <b>Name</b> & <a href=x>y</a>");
    auto* caption = new QmCaption(s, &page);
    EXPECT_EQ(caption->textFormat(), Qt::PlainText);
    EXPECT_EQ(caption->GetText(), QStringLiteral("<b>Name</b> & <a href=x>y</a>"));
    EXPECT_EQ(caption->GetControlId(), 1);
    EXPECT_EQ(caption->geometry(), QRect(10, 10, 200, 20));
    caption->SetAlignment(u'R', u'T');
    EXPECT_TRUE(caption->alignment() & Qt::AlignRight);
    caption->SetAlignment(u'X', u'C');
    EXPECT_TRUE(caption->alignment() & Qt::AlignRight);
    caption->SetAlignment(u'C', u'T');
    EXPECT_TRUE(caption->alignment() & Qt::AlignHCenter);
    // Clear keeps the text.
    caption->Clear();
    EXPECT_FALSE(caption->GetText().isEmpty());
}

TEST(Caption, SubCaptionTextIsItsFirstHint)
{
    RecordingPage page;
    auto s = line("SUB1 0 0 100 20 Enter your <PRNM> details");
    auto* sub = new QmCaption(s, &page, QmCaption::Kind::SubCaption);
    EXPECT_EQ(sub->GetHint(), QStringLiteral("Enter your <PRNM> details"));
    sub->SetText(QStringLiteral("Later"));
    EXPECT_EQ(sub->GetHint(), QStringLiteral("Enter your <PRNM> details"));
    EXPECT_EQ(sub->GetText(), QStringLiteral("Later"));
}

TEST(Caption, FontColourOrTheDesktopsInContrastMode)
{
    ScreenInfo::SetMetricsSource([] { return ScreenInfo::Metrics{96, 96, true}; });
    ScreenInfo::Instance().Refresh();
    RecordingPage page;
    auto s = line("CAP1 0 0 100 20 Text");
    auto* caption = new QmCaption(s, &page);
    SetFontColor(200, 10, 20);
    auto f = line("red Arial 12 RT");
    QmFont font(f);
    caption->ApplyFont(&font);
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(200, 10, 20));
    EXPECT_EQ(caption->font().pixelSize(), 16);
    EXPECT_TRUE(caption->alignment() & Qt::AlignRight);
    ScreenInfo::Instance().SetOptions(ScreenInfo::kContrast, 0);
    caption->UpdateColors();
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), QApplication::palette().color(QPalette::WindowText));
}

TEST(HyperLink, DisplayPartShownAddressStoredClickSpaceAndEnter)
{
    RecordingPage page;
    auto s = line("LNK1 10 10 200 20 <i>Our site</i>^https://example.org/a^b");
    auto* link = new QmHyperLink(s, &page);
    auto t = line("LNK2 10 40 200 20 No address");
    auto* plain = new QmHyperLink(t, &page);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    EXPECT_EQ(link->GetText(), QStringLiteral("<i>Our site</i>"));
    EXPECT_EQ(link->textFormat(), Qt::PlainText);
    EXPECT_EQ(link->GetStoredValue(), QStringLiteral("https://example.org/a^b"));
    EXPECT_TRUE(link->GetFlags() & 0x200000);
    EXPECT_EQ(link->focusPolicy(), Qt::TabFocus);

    QTest::mouseClick(link, Qt::LeftButton);
    QTest::keyClick(link, Qt::Key_Space);
    QTest::keyClick(link, Qt::Key_Return);
    QTest::mouseClick(plain, Qt::LeftButton);
    EXPECT_EQ(page.log, (std::vector<std::string>{"LNK1:826:0", "LNK1:826:0", "LNK1:826:0"}));

    link->setFocus();
    EXPECT_TRUE(link->IsFocused());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0x50, 0x50, 0xFF));
    auto f = line("link Arial 10 LT");
    QmFont font(f);
    link->ApplyFont(&font);
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0x50, 0x50, 0xFF));
}

TEST(EditCreation, HeightTextAndFlags)
{
    struct Case {
        const char* line;
        bool multiLine;
        const char* text;
    } const cases[] = {
        {"ED01 0 0 100 24 initial text", false, "initial text"},
        {"ED02 0 0 100 25 two lines", true, "two lines"},
        {"ED03 0 0 100 20 _", false, ""},
        {"ED04 0 0 100 20 __", false, "__"},
        {"ED05 0 0 100 20\r\n", false, ""},
    };
    QmWind::SetDefaultFlags(0x2000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        RecordingPage page;
        QmEdit* edit = makeEdit(page, c.line);
        EXPECT_EQ(edit->IsMultiLine(), c.multiLine);
        EXPECT_EQ(qobject_cast<QPlainTextEdit*>(edit->GetWindow()) != nullptr, c.multiLine);
        EXPECT_EQ(edit->GetText(), QString::fromLatin1(c.text));
        EXPECT_EQ(edit->GetFlags(), 0x2000u);
    }
    QmWind::SetDefaultFlags(0);
    RecordingPage page;
    auto s = line("ED06 0 0 100 20 x");
    auto* first = new QmEdit(s, &page, QmEdit::kGroupStart);
    EXPECT_TRUE(first->IsGroupStart());
    EXPECT_TRUE(lineOf(first)->hasFrame());
}

// Typed keys, pastes, drops and input-method text all pass the character set and the length
// limit; what the program sets is never cut.
TEST(EditFilter, EveryWayInPassesTheSameFilter)
{
    RecordingPage page;
    QmEdit* edit = makeEdit(page, "CITY 0 0 100 20 _");
    QmStrStream rule(QStringLiteral("City 0x40 0 6\na-z \\"));
    Constraint city(rule);
    edit->SetConstraint(&city);
    EXPECT_EQ(edit->GetLengthLimit(), 6);
    ValueEvents events;
    edit->Attach(&events, AttachEvent::ValueSet);
    page.show();
    QLineEdit* widget = lineOf(edit);
    widget->setFocus();
    MessageRecorder sink;

    QTest::keyClicks(widget, QStringLiteral("ab1c"));
    EXPECT_EQ(edit->GetText(), QStringLiteral("abc"));
    EXPECT_EQ(events.count, 3);
    EXPECT_EQ(sink.beeps, (std::vector<unsigned>{platform::mb::IconHand}));

    QGuiApplication::clipboard()->setText(QStringLiteral(" d#e"));
    QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText(), QStringLiteral("abc de"));
    // The refused "#" beeps; past six characters typing stops.
    QTest::keyClick(widget, Qt::Key_Z);
    EXPECT_EQ(edit->GetText(), QStringLiteral("abc de"));
    EXPECT_EQ(sink.beeps.size(), 3u);

    // Keyboard cut and undo change the text as characters of their own do: each is
    // followed by the value event.
    const int before = events.count;
    widget->setSelection(4, 2);
    QTest::keyClick(widget, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText(), QStringLiteral("abc "));
    QTest::keyClick(widget, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText(), QStringLiteral("abc de"));
    EXPECT_EQ(events.count, before + 2);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText(), QStringLiteral("abc de"));
    EXPECT_EQ(events.count, before + 3) << "an empty paste is reported too";

    widget->setText(QStringLiteral("ab"));
    widget->setCursorPosition(2);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("x9y"));
    QCoreApplication::sendEvent(widget, &commit);
    EXPECT_EQ(edit->GetText(), QStringLiteral("abxy"));

    QMimeData data;
    data.setText(QStringLiteral("1q"));
    QDropEvent drop(QPointF(90, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // Outside a real drag the application holds drops back, so the widget gets it directly.
    static_cast<QObject*>(widget)->event(&drop);
    EXPECT_EQ(edit->GetText(), QStringLiteral("abxyq"));

    edit->SetText(QStringLiteral("a longer value than six"));
    EXPECT_EQ(edit->GetText(), QStringLiteral("a longer value than six"));
    edit->SetConstraint(nullptr);
}

TEST(EditFilter, WithoutACharacterSetEveryCharacterGoesIn)
{
    RecordingPage page;
    QmEdit* edit = makeEdit(page, "NOTE 0 0 200 60 _");
    page.show();
    auto* box = qobject_cast<QPlainTextEdit*>(edit->GetWindow());
    ASSERT_NE(box, nullptr);
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("a#1"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("b"));
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(edit->GetText(), QStringLiteral("a#1\n"));
    QGuiApplication::clipboard()->setText(QStringLiteral("x\r\ny"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText(), QStringLiteral("a#1\nx\ny"));
}

TEST(EditNotifications, KeyReleaseAndLeavingTheEdit)
{
    RecordingPage page;
    QmEdit* edit = makeEdit(page, "NAME 0 0 100 20 Smith");
    QmEdit* other = makeEdit(page, "OTHR 0 30 100 20 _");
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    lineOf(edit)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(lineOf(edit)->selectedText(), QStringLiteral("Smith"));
    QTest::keyClick(lineOf(edit), Qt::Key_End);
    lineOf(other)->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(lineOf(edit)->hasSelectedText());
    EXPECT_EQ(page.log, (std::vector<std::string>{"NAME:1008:0", "NAME:1007:0"}));
}

TEST(MaskEdit, KeysPasteAndThePicture)
{
    QmStrStream maskRule(QStringLiteral("Phone 0x20000 000-000-0000 SSS-SSS-SSSS"));
    MaskConstraint phone(maskRule);
    QmStrStream plainRule(QStringLiteral("Plain 0 0 0"));
    Constraint plain(plainRule);
    RecordingPage page;
    auto s = line("PHON 0 0 120 20 _");
    auto* edit = new QmMaskEdit(s, &page, 0);
    page.show();
    QLineEdit* widget = lineOf(edit);
    widget->setFocus();
    // Without a mask nothing is taken; another kind of constraint is no mask.
    QTest::keyClicks(widget, QStringLiteral("12"));
    EXPECT_EQ(edit->GetText(), QString());
    edit->SetConstraint(&plain);
    EXPECT_EQ(edit->GetKeyFilter(), nullptr);

    edit->SetConstraint(&phone);
    edit->SetTextNotify(QString());
    EXPECT_EQ(edit->GetText(), QStringLiteral("   -   -    "));
    EXPECT_EQ(edit->GetValue(), QString()) << "the untouched picture reads as empty";
    widget->setCursorPosition(0);
    // The "x" fits neither the dash nor the digit after it; the "1" puts the dash in.
    QTest::keyClicks(widget, QStringLiteral("555x123"));
    EXPECT_EQ(edit->GetText(), QStringLiteral("555-123-    "));
    EXPECT_EQ(widget->cursorPosition(), 7);

    QTest::keyClick(widget, Qt::Key_Backspace);
    EXPECT_EQ(edit->GetText(), QStringLiteral("555-12 -    "));
    EXPECT_EQ(widget->cursorPosition(), 6);
    widget->setCursorPosition(0);
    QTest::keyClick(widget, Qt::Key_Backspace);
    EXPECT_EQ(widget->cursorPosition(), 0);
    QTest::keyClick(widget, Qt::Key_Delete);
    EXPECT_EQ(edit->GetText(), QStringLiteral(" 55-12 -    "));
    // Undo would bring back a text the filter never saw.
    QTest::keyClick(widget, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText(), QStringLiteral(" 55-12 -    "));

    QGuiApplication::clipboard()->setText(QStringLiteral("5551234567"));
    widget->setCursorPosition(0);
    QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText(), QStringLiteral("555-123-4567"));
    EXPECT_EQ(edit->GetValue(), QStringLiteral("555-123-4567"));

    edit->SetTextNotify(QStringLiteral("555-123-45678-9"));
    EXPECT_EQ(edit->GetText(), QStringLiteral("555-123-4567"));
}

TEST(DataHolder, ValueWithoutAWindow)
{
    struct Case {
        const char* line;
        const char* value;
    } const cases[] = {
        {"HOLD   kept as written  \r\n", "kept as written  "},
        {"HOLD _\n", ""},
        {"HOLD __\n", "__"},
    };
    for (const Case& c : cases) {
        RecordingPage page;
        auto s = line(c.line);
        auto* holder = new QmDataHolder(s, &page);
        EXPECT_EQ(holder->GetValue(), QString::fromLatin1(c.value)) << c.line;
        holder->SetText(QStringLiteral("window text"));
        EXPECT_EQ(holder->GetValue(), QString::fromLatin1(c.value));
        EXPECT_EQ(holder->GetWindow(), nullptr);
        QmStrStream rule(QStringLiteral("R 1 0 0"));
        Constraint required(rule);
        holder->SetConstraint(&required);
        EXPECT_TRUE(holder->Validate());
        holder->SetTextNotify(QStringLiteral("set"));
        EXPECT_EQ(holder->GetValue(), QStringLiteral("set"));
    }
}

}  // namespace
