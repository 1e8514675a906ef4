#include "regengine/core/Field.h"
#include "regengine/core/FieldList.h"

#include <QStringList>
#include <QTextStream>

#include <gtest/gtest.h>

using namespace engine;

namespace {

// The codes of a list, joined: "A B C".
QString codes(const FieldList& list)
{
    QStringList out;
    for (const auto& field : list)
        out << FieldCodeToString(field->GetCode());
    return out.join(u' ');
}

FieldList listOf(std::initializer_list<const char*> names)
{
    FieldList list;
    for (const char* name : names)
        list.SetField(FourCC(name), QString::fromLatin1(name).toLower());
    return list;
}

TEST(Field, DefaultCodeStartsWithAZeroByte)
{
    const Field field;
    EXPECT_EQ(field.GetCode().Bytes(), QByteArray("\0???", 4));
    EXPECT_TRUE(field.GetValue().isEmpty());
}

TEST(Field, Parse)
{
    struct Case {
        const char16_t* text;
        bool parsed;
        QByteArray code;
        const char16_t* value;
    };
    const Case cases[] = {
        {u"MFGR:abc", true, "MFGR", u"abc"},   {u"MFGR:", true, "MFGR", u""},    {u"CTRY:a:b", true, "CTRY", u"a:b"},
        {u"MFGRX:abc", false, "OLD1", u"old"}, {u"MFGR", false, "OLD1", u"old"}, {u"MF:", false, "OLD1", u"old"},
    };
    for (const Case& c : cases) {
        Field field(FourCC("OLD1"), QStringLiteral("old"));
        EXPECT_EQ(field.Parse(QString::fromUtf16(c.text)), c.parsed) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(field.GetCode().Bytes(), c.code);
        EXPECT_EQ(field.GetValue(), QString::fromUtf16(c.value));
    }
}

TEST(Field, ByteFormIsCodeColonUtf8AndOneZero)
{
    QByteArray sink("head");
    Field(FourCC("MFGR"), QStringLiteral("0000")).Write(sink);
    EXPECT_EQ(sink, QByteArray("headMFGR:0000\0", 14));

    QByteArray wide;
    Field(FourCC("CITY"), QString::fromUtf16(u"Z\u00FCrich \u20AC")).Write(wide);
    const char expected[] = {'C', 'I', 'T', 'Y', ':',        'Z',        char(0xC3), char(0xBC), 'r',
                             'i', 'c', 'h', ' ', char(0xE2), char(0x82), char(0xAC), 0};
    EXPECT_EQ(wide, QByteArray(expected, sizeof expected));

    QByteArray empty;
    Field(FourCC("NONE"), QString()).Write(empty);
    EXPECT_EQ(empty, QByteArray("NONE:\0", 6));
}

TEST(Field, TextForms)
{
    const Field field(FourCC("MFGR"), QStringLiteral("abc"));
    QString out;
    QTextStream stream(&out);
    field.WriteTabbed(stream);
    field.WriteCodeAndValue(stream, u'\n');
    field.WriteValue(stream);
    field.WriteCode(stream);
    stream.flush();
    EXPECT_EQ(out, u"MFGR:abc\tMFGR:abc\nabc\tMFGR\t");
}

TEST(Field, CopyValueCutsAndTerminates)
{
    const Field field(FourCC("NAME"), QStringLiteral("abcdefg"));
    QChar buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), QChar(u'#'));
    field.CopyValue(buffer, 5);
    EXPECT_EQ(QString(buffer, 5), QString::fromUtf16(u"abcd\0", 5));
    EXPECT_EQ(buffer[5], u'#');

    const Field shortField(FourCC("NAME"), QStringLiteral("ab"));
    std::fill(std::begin(buffer), std::end(buffer), QChar(u'#'));
    shortField.CopyValue(buffer, 5);
    EXPECT_EQ(QString(buffer, 5), QString::fromUtf16(u"ab\0\0\0", 5));

    // No room at all: nothing is written, not even a terminator before the buffer.
    for (qsizetype n : {0, -1}) {
        std::fill(std::begin(buffer), std::end(buffer), QChar(u'#'));
        field.CopyValue(buffer + 1, n);
        EXPECT_EQ(QString(buffer, 8), u"########");
    }
}

TEST(Field, CopyValueBytesGivesAtMostNBytes)
{
    const Field field(FourCC("NAME"), QStringLiteral("ab"));
    char buffer[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
    EXPECT_EQ(field.CopyValueBytes(buffer, 3), 3);
    EXPECT_EQ(QByteArray(buffer, 4), QByteArray("a\0b#", 4));
    EXPECT_EQ(field.CopyValueBytes(buffer, 8), 4);
    EXPECT_EQ(field.CopyValueBytes(buffer, 0), 0);
}

TEST(FieldList, SetFieldReplacesInPlaceOrAppends)
{
    FieldList list = listOf({"AAAA", "BBBB", "CCCC"});
    list.SetField(FourCC("AAAA"), QStringLiteral("new"));
    list.SetField(FourCC("DDDD"), QStringLiteral("d"));
    EXPECT_EQ(codes(list), u"AAAA BBBB CCCC DDDD");
    EXPECT_EQ(list.GetField(FourCC("AAAA")), u"new");
    EXPECT_EQ(list.GetField(FourCC("ZZZZ")), QString());

    qint16 position = 0;
    int node = -1;
    EXPECT_EQ(list.Find(FourCC("CCCC"), &position, &node)->GetValue(), u"cccc");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(list.GetAtNode(node)->GetCode(), FourCC("CCCC"));
    EXPECT_EQ(list.Find(FourCC("cccc")), nullptr);

    list.Remove(FourCC("BBBB"));
    list.Remove(FourCC("ZZZZ"));
    EXPECT_EQ(codes(list), u"AAAA CCCC DDDD");
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
}

TEST(FieldList, MergeAndCopy)
{
    FieldList mine = listOf({"AAAA", "BBBB"});
    FieldList other;
    other.SetField(FourCC("CCCC"), QStringLiteral("c"));
    other.SetField(FourCC("AAAA"), QStringLiteral("from other"));
    mine.Merge(other);
    EXPECT_EQ(codes(mine), u"AAAA BBBB CCCC");
    EXPECT_EQ(mine.GetField(FourCC("AAAA")), u"from other");

    mine.Merge(mine);
    EXPECT_EQ(codes(mine), u"AAAA BBBB CCCC");

    const FieldList copy(mine);
    mine.SetField(FourCC("AAAA"), QStringLiteral("changed"));
    EXPECT_EQ(copy.GetField(FourCC("AAAA")), u"from other");
    EXPECT_EQ(codes(copy), u"AAAA BBBB CCCC");
}

TEST(FieldList, MoveTo)
{
    struct Case {
        qint16 from, to;
        const char16_t* expected;
    };
    const Case cases[] = {
        {1, 3, u"BBBB CCCC AAAA DDDD"}, {4, 2, u"AAAA DDDD BBBB CCCC"},  {1, 4, u"BBBB CCCC DDDD AAAA"},
        {3, 1, u"CCCC AAAA BBBB DDDD"}, {2, 2, u"AAAA BBBB CCCC DDDD"},  {0, 1, u"AAAA BBBB CCCC DDDD"},
        {1, 5, u"AAAA BBBB CCCC DDDD"}, {-1, 2, u"AAAA BBBB CCCC DDDD"},
    };
    for (const Case& c : cases) {
        FieldList list = listOf({"AAAA", "BBBB", "CCCC", "DDDD"});
        list.MoveTo(c.from, c.to);
        EXPECT_EQ(codes(list), QString::fromUtf16(c.expected)) << c.from << " -> " << c.to;
    }
}

TEST(FieldList, OrderLikePutsSharedFieldsFirstInTheOtherOrder)
{
    struct Case {
        std::initializer_list<const char*> mine, other;
        const char16_t* expected;
    };
    const Case cases[] = {
        {{"AAAA", "BBBB", "CCCC", "DDDD"}, {"DDDD", "XXXX", "BBBB"}, u"DDDD BBBB AAAA CCCC"},
        {{"AAAA", "BBBB"}, {}, u"AAAA BBBB"},
        {{"AAAA", "BBBB", "CCCC"}, {"CCCC", "BBBB", "AAAA"}, u"CCCC BBBB AAAA"},
    };
    for (const Case& c : cases) {
        FieldList list = listOf(c.mine);
        list.OrderLike(listOf(c.other));
        EXPECT_EQ(codes(list), QString::fromUtf16(c.expected));
    }
}

TEST(FieldList, RegisteredItemCodes)
{
    const FourCC itcd("itcd"), rgit("rgit");

    FieldList source;
    EXPECT_FALSE(source.IsItemCodeInRegisteredSet());
    source.SetField(itcd, QStringLiteral("XY"));
    source.AddItemCodeToRegisteredSet();
    EXPECT_EQ(source.GetField(rgit), u"XY") << "a missing rgit takes the whole item code";
    source.SetField(itcd, QStringLiteral("C"));
    source.AddItemCodeToRegisteredSet();
    source.AddItemCodeToRegisteredSet();
    EXPECT_EQ(source.GetField(rgit), u"XYC") << "the same item twice is kept once";
    EXPECT_TRUE(source.IsItemCodeInRegisteredSet());

    FieldList target;
    target.SetField(rgit, QStringLiteral("AB"));
    EXPECT_FALSE(source.IsItemCodeInRegisteredSet(&target));
    source.AddItemCodeToRegisteredSet(&target);
    EXPECT_EQ(target.GetField(rgit), u"ABC");
    EXPECT_EQ(source.GetField(rgit), u"XYC");

    // An empty item code registers nothing.
    FieldList empty;
    empty.SetField(itcd, QString());
    empty.AddItemCodeToRegisteredSet(&target);
    EXPECT_EQ(target.GetField(rgit), u"ABC");
    EXPECT_FALSE(empty.IsItemCodeInRegisteredSet(&target));
}

}  // namespace
