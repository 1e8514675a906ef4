#include "regengine/core/QmList.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringList.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"

#include "tests/support/RecordingSink.h"

#include <gtest/gtest.h>

#include <array>

using namespace engine;

namespace {

// Reads a STRINGTABLE block the way the interpreter hands it over: the stream stands just
// after the keyword.
QmStringTable* readTable(const QString& script)
{
    QmStrStream stream(script);
    QString keyword = ReadScriptToken(stream);
    EXPECT_EQ(keyword, u">STRINGTABLE");
    return QmStringTable::CreateFromScript(stream);
}

const QString kCaptions = QStringLiteral(
    ">STRINGTABLE CAPT ENGL\r\n"
    "1 Ovex Kelvo Setup\r\n"
    "7 Seventh\r\n"
    "2 first two\r\n"
    "2 second two  \r\n"
    ">CMNT End Table\r\n");

TEST(StringTable, ReadsNumberedEntriesInScriptOrder)
{
    const QmStringTable* table = readTable(kCaptions);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetTag(), FourCC("CAPT"));
    EXPECT_EQ(table->GetLanguage(), FourCC("ENGL"));
    ASSERT_EQ(table->GetCount(), 4);
    EXPECT_EQ(*table->GetStringAt(1), u"Seventh");
    EXPECT_EQ(table->IndexOf(2), 3);
    EXPECT_EQ(*table->GetString(2), u"second two");
    EXPECT_EQ(table->GetString(3), nullptr);
    EXPECT_EQ(StringTableMgr::Instance().FindTable(FourCC("CAPT"), FourCC("ENGL")), table);
}

TEST(StringTable, NumberedLookupFallsBackToTheCallersText)
{
    readTable(kCaptions);
    readTable(QStringLiteral(">STRINGTABLE STAT FRAN\r\n3 Etat\r\n>CMNT\r\n"));
    EXPECT_EQ(GetTableString(QStringLiteral("dflt"), 2, FourCC("CAPT")), u"second two");
    EXPECT_EQ(GetTableString(QStringLiteral("dflt"), 9, FourCC("CAPT")), u"dflt");
    EXPECT_EQ(GetTableString(QStringLiteral("Status"), 3, FourCC("STAT")), u"Status") << "only ENGL tables answer";
    EXPECT_EQ(GetTableStringLang(QStringLiteral("Status"), 3, FourCC("STAT"), FourCC("FRAN")), u"Etat");
    EXPECT_EQ(GetTableString(QStringLiteral("x"), 1, FourCC("NONE")), u"x");
}

TEST(StringTable, FirstDeclaredTableAnswers)
{
    readTable(QStringLiteral(">STRINGTABLE RGWN ENGL\n1 first\n>\n"));
    readTable(QStringLiteral(">STRINGTABLE RGWN ENGL\n1 second\n>\n"));
    EXPECT_EQ(GetTableString(QString(), 1, FourCC("RGWN")), u"first");
}

TEST(StringTable, Escapes)
{
    const QmStringTable* table =
        readTable(QStringLiteral(">STRINGTABLE ESCS ENGL\n"
                                 "1 line\\nfeed\n"
                                 "2 tab\\there\\r\n"
                                 "3 keep\\xboth\n"
                                 "4 trailing\\\n"
                                 "5 %s and %d stay text\n"
                                 ">END\n"));
    ASSERT_EQ(table->GetCount(), 5);
    EXPECT_EQ(*table->GetString(1), u"line\nfeed");
    EXPECT_EQ(*table->GetString(2), u"tab\there\r");
    EXPECT_EQ(*table->GetString(3), u"keep\\xboth");
    EXPECT_EQ(*table->GetString(4), u"trailing\\");
    EXPECT_EQ(*table->GetString(5), u"%s and %d stay text");
}

// Stray lines inside a table are skipped; the table and the script after it go on.
TEST(StringTable, StrayLinesDoNotEndTheScript)
{
    QmStrStream stream(QStringLiteral("CNST ENGL trailing words\r\n"
                                      "1 one\r\n"
                                      "oops, no number\r\n"
                                      "\r\n"
                                      "2 ") +
                       QString(3000, u'x') +
                       QStringLiteral("\r\n"
                                      "3\r\n"
                                      "4 four\r\n"
                                      "  \t\r\n"
                                      ">CMNT End Table\r\n"
                                      ">NEXT\r\n"));
    const QmStringTable* table = QmStringTable::CreateFromScript(stream);
    ASSERT_EQ(table->GetCount(), 3);
    EXPECT_EQ(*table->GetString(1), u"one");
    ASSERT_NE(table->GetString(2), nullptr);
    EXPECT_EQ(*table->GetString(2), QString(2047, u'x')) << "a line over the limit is cut there";
    EXPECT_EQ(table->GetString(3), nullptr) << "a number without text is dropped";
    EXPECT_EQ(*table->GetString(4), u"four") << "and does not take the next line";
    EXPECT_FALSE(stream.fail());
    EXPECT_EQ(ReadScriptToken(stream), u">CMNT");
}

TEST(StringTable, References)
{
    readTable(kCaptions);
    readTable(QStringLiteral(">STRINGTABLE OTHR FRAN\n1 autre\n>\n"));
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"=CAPT:1", u"Ovex Kelvo Setup"},
        {u"=CAPT:2", u"Seventh"},
        {u"=CAPT:4 words", u"second two"},
        {u"=CAPT:0", u""},
        {u"=CAPT:5", u""},
        {u"=CAPT:", u"=CAPT:"},
        {u"=CAPT:x", u""},
        {u"=OTHR:1", u""},
        {u"=NONE:1", u""},
        {u"=CAPT;1", u"=CAPT;1"},
        {u"plain text", u"plain text"},
        {u"=CAPT:99999999999999", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeStringResolved(QString::fromUtf16(c.text)), QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.text).toStdString();

    QString kept = QStringLiteral("kept");
    ResolveStringRef(kept, FourCC("CAPT"), 9);
    EXPECT_EQ(kept, u"kept");
    ResolveStringRef(kept, FourCC("CAPT"), 1);
    EXPECT_EQ(kept, u"Ovex Kelvo Setup");
    EXPECT_EQ(MakeStringFromTable(FourCC("CAPT"), 2), u"Seventh");
    EXPECT_EQ(MakeStringFromTable(FourCC("CAPT"), 0), QString());
}

TEST(StringTable, RemoveAllForgetsTables)
{
    readTable(kCaptions);
    StringTableMgr::Instance().RemoveAll();
    EXPECT_EQ(StringTableMgr::Instance().GetCount(), 0);
    EXPECT_EQ(MakeStringResolved(QStringLiteral("=CAPT:1")), QString());
}

TEST(StringTable, CaptionsFromScriptLines)
{
    readTable(kCaptions);
    struct Case {
        const char16_t* text;
        const char16_t* caption;
        const char16_t* rest;
    };
    const Case cases[] = {
        {u"   Hello World  \r\n>NEXT", u"Hello World", u">NEXT"},
        {u" =CAPT:1\r\n", u"Ovex Kelvo Setup", u""},
        {u" A\\x42C \\q\n", u"ABC \\q", u""},
        {u" =CAPT:9\n", u"", u""},
        // No caption on the line: the next line is not taken for one.
        {u"  \r\n>SETHEADER MFGR 0000\r\n", u"", u">SETHEADER MFGR 0000\r\n"},
    };
    for (const Case& c : cases) {
        QmStrStream stream{QString::fromUtf16(c.text)};
        EXPECT_EQ(ReadStringFromScript(stream), QString::fromUtf16(c.caption))
            << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(stream.text().mid(stream.pos()), QString::fromUtf16(c.rest));
    }
}

TEST(StringList, ListBlock)
{
    QmStrStream stream(
        QStringLiteral("colors and the rest of the line\r\n"
                       "red\r\n"
                       "\r\n"
                       "_\r\n"
                       "green\\x21  \r\n"
                       "red\r\n"
                       ">CMNT end\r\n"));
    const QmStringList list(stream);
    EXPECT_EQ(list.GetName(), u"colors");
    ASSERT_EQ(list.GetCount(), 4);
    EXPECT_EQ(*list.GetItem(0), u"red");
    EXPECT_EQ(*list.GetItem(1), QString());
    EXPECT_EQ(*list.GetItem(2), u"green!");
    EXPECT_EQ(*list.GetItem(3), u"red");
    EXPECT_EQ(list.GetItem(4), nullptr);
    EXPECT_EQ(stream.peek(), u'>');
}

// With line feeds alone, the name's token already ended the keyword line.
TEST(StringList, ListBlockWithLineFeedsOnly)
{
    QmStrStream stream(QStringLiteral("names\nfirst\nsecond"));
    const QmStringList list(stream);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(*list.GetItem(0), u"first");
    EXPECT_EQ(*list.GetItem(1), u"second");
}

TEST(StringList, InlineItems)
{
    readTable(kCaptions);
    struct Case {
        const char16_t* text;
        std::vector<QString> items;
        const char16_t* rest;
    };
    const Case cases[] = {
        {u" ( a , =CAPT:1 ) tail", {QStringLiteral("a"), QStringLiteral("Ovex Kelvo Setup")}, u" tail"},
        {u" ( a b , c )", {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, u""},
        {u" single tail", {QStringLiteral("single")}, u"tail"},
        {u" \"\" next", {QString()}, u" next"},
        {u" ( )", {}, u""},
        // Without ")" the list ends with its line.
        {u" ( a , b\r\n>NEXT", {QStringLiteral("a"), QStringLiteral("b")}, u"\n>NEXT"},
        {u" ( a ,\r\n>NEXT", {QStringLiteral("a")}, u"\n>NEXT"},
        {u"\r\n>NEXT", {}, u"\n>NEXT"},
    };
    for (const Case& c : cases) {
        QmStrStream stream{QString::fromUtf16(c.text)};
        QmStringList list;
        list.ReadItems(stream);
        std::vector<QString> items(list.begin(), list.end());
        EXPECT_EQ(items, c.items) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(stream.text().mid(stream.pos()), QString::fromUtf16(c.rest))
            << QString::fromUtf16(c.text).toStdString();
    }
}

TEST(StringList, AddMergeAndCopyOut)
{
    QmStringList list(QStringLiteral("name"));
    list.AddText(QString());
    list.AddText(QStringLiteral("one"));
    list.AddText(QStringLiteral("one"));
    list.AddString(QString());
    QmStringList other;
    other.Merge(list);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(other.GetCount(), 2) << "Merge skips empty items";

    QString out = QStringLiteral("untouched");
    EXPECT_FALSE(list.GetItemAsString(7, out));
    EXPECT_EQ(out, u"untouched");
    EXPECT_TRUE(list.GetItemAsString(0, out));
    EXPECT_EQ(out, u"one");
    EXPECT_EQ(list.GetItemText(0, 3), u"on");
    EXPECT_EQ(list.GetItemText(0, 0), QString());
    EXPECT_EQ(list.GetItemText(9, 10), QString());
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(QmList, SettingPastTheCountZeroesTheSlotsBetween)
{
    QmList<int> list;
    EXPECT_TRUE(list.SetAt(5, 9));
    ASSERT_EQ(list.GetCount(), 6);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(*list.At(i), 0);
    EXPECT_EQ(*list.At(5), 9);
    EXPECT_FALSE(list.SetAt(-1, 1));

    int out = -1;
    EXPECT_FALSE(list.GetAt(6, &out));
    EXPECT_FALSE(list.GetAt(0, nullptr));
    EXPECT_TRUE(list.GetAt(5, &out));
    EXPECT_EQ(out, 9);
}

// What was there before RemoveAll never shows again in slots set past the count.
TEST(QmList, NoStaleSlotsAfterRemoveAll)
{
    QmList<QString> texts;
    texts.Add(QStringLiteral("old 0"));
    texts.Add(QStringLiteral("old 1"));
    texts.Add(QStringLiteral("old 2"));
    texts.RemoveAll();
    EXPECT_EQ(texts.GetCount(), 0);
    texts.SetAt(2, QStringLiteral("new"));
    EXPECT_EQ(*texts.At(0), QString());
    EXPECT_EQ(*texts.At(1), QString());

    QmList<int*> pointers;
    int value = 3;
    pointers.Add(&value);
    pointers.Add(&value);
    pointers.RemoveAll();
    pointers.SetAt(1, &value);
    EXPECT_EQ(*pointers.At(0), nullptr);
}

TEST(QmList, RemoveAtCutsToWhatThereIs)
{
    QmList<int> list;
    for (int i = 0; i < 5; ++i)
        list.Add(i);
    list.RemoveAt(1, 2);
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{0, 3, 4}));
    list.RemoveAt(2, 10);
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{0, 3}));
    list.RemoveAt(5, 1);
    list.RemoveAt(0, 0);
    list.RemoveAt(-1, 1);
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(QmList, OutOfMemoryShowsTheBoxAndThrowsMinusOne)
{
    using Huge = std::array<char, (size_t(1) << 40)>;
    testsupport::RecordingSink sink;
    QmList<Huge> list;
    int thrown = 0;
    try {
        list.Reserve(1 << 30);
    } catch (int code) {
        thrown = code;
    }
    EXPECT_EQ(thrown, -1);
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, u"You are out of memory");
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(StringResources, LinesOfANumberedString)
{
    const QString module = QStringLiteral("regengine_core_test");
    EXPECT_EQ(GetCStringInd(100, 1, module), u"first line");
    EXPECT_EQ(GetCStringInd(100, 2, module), u"second line");
    EXPECT_EQ(GetCStringInd(100, 3, module), u"third line");
    EXPECT_EQ(GetCStringInd(100, 7, module), u"third line");
    EXPECT_EQ(GetCStringInd(101, 2, module), u"only line");

    testsupport::RecordingSink sink;
    EXPECT_EQ(GetCStringInd(555, 1, module), QString());
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, u"GetCStringInd is missing resources");
    EXPECT_EQ(sink.boxes[0].caption, u"uh-oh");
}

}  // namespace
