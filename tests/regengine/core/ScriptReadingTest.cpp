#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

#include <gtest/gtest.h>

using namespace engine;

// Printing rectangles in failure messages.
void PrintTo(const QmRect& r, std::ostream* os)
{
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

QString rest(const QmStrStream& stream)
{
    return stream.text().mid(stream.pos());
}

TEST(ScriptToken, Table)
{
    struct Case {
        const char16_t* text;
        const char16_t* token;
        const char16_t* rest;
    };
    const Case cases[] = {
        {u"\"a b\" next", u"a b", u" next"},   {u"\"say \\\"hi\\\"\"", u"say \"hi\"", u""},
        {u"abc\tdef", u"abc", u"def"},         {u"abc\ndef", u"abc", u"def"},
        {u"abc\r\ndef", u"abc", u"\ndef"},     {u"  x\\ny", u"x\ny", u""},
        {u"a\\qb c", u"a\\qb", u"c"},          {u"back\\\\slash", u"back\\slash", u""},
        {u"\"open\nrest", u"open", u"rest"},   {u"\"\" after", u"", u" after"},
        {u"Ovex\\\\Ovex", u"Ovex\\Ovex", u""},
    };
    for (const Case& c : cases) {
        QmStrStream stream{QString::fromUtf16(c.text)};
        EXPECT_EQ(ReadScriptToken(stream), QString::fromUtf16(c.token)) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(rest(stream), QString::fromUtf16(c.rest)) << QString::fromUtf16(c.text).toStdString();
    }
}

TEST(ScriptToken, LastTokenOfTheTextStillCountsAndNothingLeftFails)
{
    QmStrStream stream(QStringLiteral("  last"));
    EXPECT_EQ(ReadScriptToken(stream), u"last");
    EXPECT_FALSE(stream.fail());
    EXPECT_TRUE(stream.eof());
    EXPECT_EQ(ReadScriptToken(stream), QString());
    EXPECT_TRUE(stream.fail());
}

TEST(ScriptLine, TrimsAndDropsCarriageReturn)
{
    QmStrStream stream(QStringLiteral("abc  \t\r\nnext\n"));
    QString line;
    ASSERT_TRUE(ReadScriptLine(stream, line, 100));
    EXPECT_EQ(line, u"abc");
    ASSERT_TRUE(ReadScriptLine(stream, line, 100));
    EXPECT_EQ(line, u"next");
    EXPECT_FALSE(ReadScriptLine(stream, line, 100));
    EXPECT_TRUE(line.isEmpty());
}

// A line over the limit keeps what fits and the rest of it is skipped; the stream stays
// usable for the next line.
TEST(ScriptLine, OverlongLineIsCutAndTheStreamGoesOn)
{
    QmStrStream stream(QStringLiteral("abcdefghijklmnop  \r\nnext\r\n"));
    QString line;
    ASSERT_TRUE(ReadScriptLine(stream, line, 10));
    EXPECT_EQ(line, u"abcdefghi");
    EXPECT_FALSE(stream.fail());
    ASSERT_TRUE(ReadScriptLine(stream, line, 10));
    EXPECT_EQ(line, u"next");

    // Exactly n - 1 characters still fit, also at the very end of the text.
    QmStrStream exact(QStringLiteral("123456789\n123456789"));
    ASSERT_TRUE(ReadScriptLine(exact, line, 10));
    EXPECT_EQ(line, u"123456789");
    ASSERT_TRUE(ReadScriptLine(exact, line, 10));
    EXPECT_EQ(line, u"123456789");
    EXPECT_FALSE(ReadScriptLine(exact, line, 10));

    // The cut falls before the trim: blanks that reach the limit go as well.
    QmStrStream blanks(QStringLiteral("abc         xyz\n"));
    ASSERT_TRUE(ReadScriptLine(blanks, line, 10));
    EXPECT_EQ(line, u"abc");
}

TEST(StrStream, GetlineRemovesCarriageReturnOnlyBeforeLineFeed)
{
    QmStrStream stream(QStringLiteral("one\r\ntwo\r;three"));
    QString line;
    ASSERT_TRUE(stream.getline(line, 100));
    EXPECT_EQ(line, u"one");
    ASSERT_TRUE(stream.getline(line, 100, u';'));
    EXPECT_EQ(line, u"two\r");
}

TEST(StrStream, Numbers)
{
    struct IntCase {
        const char16_t* text;
        bool ok;
        qint32 value;
    };
    const IntCase ints[] = {
        {u" 42", true, 42},        {u"-17x", true, -17},
        {u"+5", true, 5},          {u"2147483647", true, 2147483647},
        {u"2147483648", false, 0}, {u"-2147483648", true, qint32(-2147483647 - 1)},
        {u"x1", false, 0},         {u"99999999999999999999", false, 0},
    };
    for (const IntCase& c : ints) {
        QmStrStream stream{QString::fromUtf16(c.text)};
        qint32 value = 0;
        EXPECT_EQ(stream.readInt(value), c.ok) << QString::fromUtf16(c.text).toStdString();
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
    }

    // Flag words use the whole 32-bit range.
    struct HexCase {
        const char16_t* text;
        bool ok;
        quint32 value;
    };
    const HexCase hexes[] = {
        {u"0x80000000", true, 0x80000000u},
        {u" FFFFFFFF", true, 0xFFFFFFFFu},
        {u"0x00420000", true, 0x00420000u},
        {u"0X1f", true, 0x1F},
        {u"10", true, 0x10},
        {u"0x", true, 0},
        {u"100000000", false, 0},
        {u"zz", false, 0},
    };
    for (const HexCase& c : hexes) {
        QmStrStream stream{QString::fromUtf16(c.text)};
        quint32 value = 0;
        EXPECT_EQ(stream.readHex(value), c.ok) << QString::fromUtf16(c.text).toStdString();
        if (c.ok) {
            EXPECT_EQ(value, c.value) << QString::fromUtf16(c.text).toStdString();
        }
    }
}

TEST(StrStream, FailedStreamStaysFailedUntilCleared)
{
    QmStrStream stream(QStringLiteral("abc 5"));
    qint32 value = 0;
    EXPECT_FALSE(stream.readInt(value));
    EXPECT_FALSE(stream.readInt(value));
    stream.clear();
    QString word;
    EXPECT_TRUE(stream.readWord(word));
    EXPECT_EQ(word, u"abc");
    EXPECT_TRUE(stream.readInt(value));
    EXPECT_EQ(value, 5);
}

TEST(UnescapeHex, Table)
{
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"A\\x41B", u"AAB"}, {u"a\\", u"a\\"},      {u"\\\\x41", u"\\A"},
        {u"\\X4a", u"J"},     {u"\\x4", u"\\x4"},    {u"\\xZZ", u"\\xZZ"},
        {u"\\q", u"\\q"},     {u"ab\\x00cd", u"ab"}, {u"\\xe9t\\xE9", u"\u00E9t\u00E9"},
    };
    for (const Case& c : cases) {
        QString text = QString::fromUtf16(c.text);
        qsizetype length = -1;
        UnescapeHex(text, &length);
        EXPECT_EQ(text, QString::fromUtf16(c.expected)) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(length, text.size());
    }
}

TEST(UrlEncode, Table)
{
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"abcXYZ019", u"abcXYZ019"}, {u"a b&c=d", u"a%20b%26c%3Dd"}, {u"-_.~", u"%2D%5F%2E%7E"},
        {u"\u00E9", u"%C3%A9"},       {u"\u20AC", u"%E2%82%AC"},      {u"", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UrlEncode(QString::fromUtf16(c.text)), QString::fromUtf16(c.expected));
}

TEST(FindKeyword, ExactMatchOnly)
{
    static const QStringView table[] = {u"LIST", u"FONT", u"PAGE", u"END"};
    EXPECT_EQ(FindKeyword(table, 4, u"PAGE"), 2);
    EXPECT_EQ(FindKeyword(table, 4, u"Page"), -1);
    EXPECT_EQ(FindKeyword(table, 4, u"PAGES"), -1);
    EXPECT_EQ(FindKeyword(table, 3, u"END"), -1);
    EXPECT_EQ(FindKeyword(nullptr, 4, u"LIST"), -1);
}

TEST(QmRect, ReadFromScript)
{
    struct Case {
        bool relative;
        const char16_t* text;
        QmRect expected;
    };
    const Case cases[] = {
        {true, u"+5 +0 +99 30", {15, 20, 115, 50}},  {true, u"5 -10 100 +1", {5, 10, 105, 60}},
        {true, u"0 0 580 480", {0, 0, 580, 480}},    {false, u"+5 +0 +99 30", {5, 0, 104, 30}},
        {false, u"5 -10 100 +1", {5, -10, 105, -9}},
    };
    for (const Case& c : cases) {
        QmRect::Previous() = QmRect(10, 20, 110, 70);
        QmRect::SetRelativeMode(c.relative);
        QmStrStream stream{QString::fromUtf16(c.text)};
        QmRect rect;
        EXPECT_TRUE(rect.ReadFromScript(stream));
        EXPECT_EQ(rect, c.expected) << QString::fromUtf16(c.text).toStdString() << " relative " << c.relative;
        EXPECT_EQ(QmRect::Previous(), c.expected);
    }
}

TEST(QmRect, MissingNumbersFailTheRead)
{
    QmStrStream stream(QStringLiteral("1 2 x"));
    QmRect rect;
    EXPECT_FALSE(rect.ReadFromScript(stream));
    EXPECT_TRUE(stream.fail());
}

TEST(QmRect, ScaleForDpi)
{
    struct Case {
        quint8 options;
        int dpiX, dpiY;
        QmRect rect, expected;
    };
    const Case cases[] = {
        {1, 120, 120, {10, 10, 110, 110}, {12, 12, 137, 137}}, {1, 96, 96, {10, 20, 110, 70}, {10, 20, 110, 70}},
        {1, 144, 120, {10, 20, 110, 70}, {15, 25, 165, 87}},   {1, 120, 120, {-10, -10, 0, 0}, {-12, -12, 0, 0}},
        {2, 120, 120, {10, 10, 110, 110}, {10, 10, 110, 110}},
    };
    for (const Case& c : cases) {
        QmRect rect = c.rect;
        rect.ScaleForDpi(c.options, c.dpiX, c.dpiY);
        EXPECT_EQ(rect, c.expected) << c.dpiX << "x" << c.dpiY;
    }
    // Width scales on its own: left 10 and width 100 become left 12 and width 125.
    QmRect rect(10, 0, 110, 0);
    rect.ScaleForDpi(1, 120, 96);
    EXPECT_EQ(rect.left, 12);
    EXPECT_EQ(rect.right - rect.left, 125);
}

}  // namespace
