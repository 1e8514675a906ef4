#include "regengine/core/KeyFilter.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

const QString kPhoneMask = QStringLiteral("000-000-0000");
const QString kPhonePicture = QStringLiteral("   -   -    ");

TEST(KeyFilterItems, EachMaskCharacterMakesOneItem)
{
    const KeyFilter filter(QStringLiteral("&A-0 {xyz}#"), QString());
    ASSERT_EQ(filter.ItemCount(), 7);
    struct Case {
        int item;
        QChar c;
        bool matches;
    } const cases[] = {
        {0, u'a', true},
        {0, u'7', true},
        {0, u'-', false},
        {1, u'Q', true},
        {1, u'1', false},
        {2, u'-', true},
        {2, u'x', false},
        {3, u'9', true},
        {3, u'a', false},
        {4, u' ', true},
        {4, u'x', false},
        {5, u'y', true},
        {5, u'w', false},
        {6, u'#', false},
        {6, u'a', false},
        // Past the mask nothing fits.
        {7, u'a', false},
        {-1, u'a', false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(filter.Item(c.item).Matches(c.c), c.matches) << c.item << " " << char(c.c.unicode());
}

TEST(KeyFilterItems, AnUnclosedBraceTakesTheRestAndFiftyIsTheMost)
{
    const KeyFilter open(QStringLiteral("0{ab"), QString());
    ASSERT_EQ(open.ItemCount(), 2);
    EXPECT_TRUE(open.Item(1).Matches(u'b'));
    const KeyFilter longMask(QString(80, u'0'), QString());
    EXPECT_EQ(longMask.ItemCount(), KeyFilter::kMaxItems);
}

TEST(KeyFilterIsAllowed, PositionsBeyondTheMaskAreNotTested)
{
    const KeyFilter filter(QStringLiteral("00#"), QString());
    EXPECT_TRUE(filter.IsAllowed(QStringLiteral("12")));
    EXPECT_TRUE(filter.IsAllowed(QString()));
    EXPECT_FALSE(filter.IsAllowed(QStringLiteral("1a")));
    // A position that accepts nothing: a text reaching it never passes.
    EXPECT_FALSE(filter.IsAllowed(QStringLiteral("12#")));
    const KeyFilter shortMask(QStringLiteral("0"), QString());
    EXPECT_TRUE(shortMask.IsAllowed(QStringLiteral("1abc")));
}

TEST(KeyFilterFilterKey, DashAndBlankPositionsAndTheEnd)
{
    const KeyFilter filter(kPhoneMask, kPhonePicture);
    struct Case {
        const char* name;
        const char* text;  // with the typed character already at `position`
        int position;
        bool accepted;
        const char* after;
        int caret;
    } const cases[] = {
        {"a digit on a digit", "5  -   -    ", 0, true, "5  -   -    ", 1},
        {"a digit on the dash inserts the dash", "5551   -    ", 3, true, "555-1  -    ", 5},
        {"a letter on a digit", "a  -   -    ", 0, false, "a  -   -    ", 0},
        {"the last position keeps the caret on it", "555-123-4567", 11, true, "555-123-4567", 11},
        {"past the text", "555", 3, false, "555", 3},
        {"a negative position", "555", -1, false, "555", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString text = QString::fromLatin1(c.text);
        int caret = c.position;
        EXPECT_EQ(filter.FilterKey(text, c.position, filter.ItemCount(), caret), c.accepted);
        EXPECT_EQ(text, QString::fromLatin1(c.after));
        EXPECT_EQ(caret, c.caret);
    }
    // The blank kind works as the dash does.
    const KeyFilter blank(QStringLiteral("00 00"), QStringLiteral("     "));
    QString text = QStringLiteral("127 ");
    int caret = 2;
    EXPECT_TRUE(blank.FilterKey(text, 2, blank.ItemCount(), caret));
    EXPECT_EQ(text, QStringLiteral("12 7"));
    EXPECT_EQ(caret, 4);
}

TEST(KeyFilterEdit, TypingBackspaceAndDelete)
{
    const KeyFilter filter(kPhoneMask, kPhonePicture);
    KeyFilter::Edit edit;
    for (QChar c : QStringLiteral("5551234567"))
        filter.Type(edit, c);
    EXPECT_EQ(edit.text, QStringLiteral("555-123-4567"));
    EXPECT_EQ(edit.caret, 11);

    struct Case {
        const char* name;
        int selStart, selEnd, caret;
        bool backspace;
        const char* after;
        int caretAfter;
    } const cases[] = {
        {"backspace takes the character before the caret", 4, 4, 4, true, "555-123-4567", 3},
        {"backspace after a digit", 2, 2, 2, true, "5 5-123-4567", 1},
        {"backspace at the start changes nothing", 0, 0, 0, true, "555-123-4567", 0},
        {"backspace on a selection clears it", 4, 7, 4, true, "555-   -4567", 4},
        {"delete takes the character at the caret", 0, 0, 0, false, " 55-123-4567", 0},
        {"delete on a selection", 8, 12, 8, false, "555-123-    ", 8},
        {"delete at the end stays in the text", 12, 12, 12, false, "555-123-4567", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyFilter::Edit e{QStringLiteral("555-123-4567"), c.selStart, c.selEnd, c.caret};
        if (c.backspace)
            filter.Backspace(e);
        else
            filter.Delete(e);
        EXPECT_EQ(e.text, QString::fromLatin1(c.after));
        EXPECT_EQ(e.caret, c.caretAfter);
    }
}

TEST(KeyFilterEdit, NormalizedCutsPadsAndShowsThePicture)
{
    const KeyFilter filter(kPhoneMask, kPhonePicture);
    EXPECT_EQ(filter.Normalized(QString()), kPhonePicture);
    EXPECT_EQ(filter.Normalized(QStringLiteral("555-123-45678")), QStringLiteral("555-123-4567"));
    EXPECT_EQ(filter.Normalized(QStringLiteral("555")), QStringLiteral("555-   -    "));
    // A picture shorter than the mask pads with blanks.
    const KeyFilter shortPicture(QStringLiteral("0000"), QStringLiteral("-"));
    EXPECT_EQ(shortPicture.Normalized(QString()), QStringLiteral("-   "));
    // A refused character leaves the text as it was.
    KeyFilter::Edit edit;
    filter.Type(edit, u'x');
    EXPECT_EQ(edit.text, kPhonePicture);
    EXPECT_EQ(edit.caret, 0);
}

}  // namespace
