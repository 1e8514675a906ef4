#include "regengine/core/Field.h"
#include "regengine/core/RegRecordLists.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace engine;

namespace {

QString codes(const FieldList& list)
{
    QStringList out;
    for (const auto& field : list)
        out << FieldCodeToString(field->GetCode()) + u'=' + field->GetValue();
    return out.join(u' ');
}

// The record is made without any window: the header comes in read back from a packet, and
// derived texts get their tags from the caller.
TEST(RegRecordLists, TheWholeRecordStartsWithTheGivenHeaderAndTakesDerivedTextsFromTheFiller)
{
    RegRecordLists lists;
    lists.SetFieldByKind(u'U', FourCC("NAME"), QStringLiteral("Ada"));
    lists.SetFieldByKind(u'U', FourCC("EMPT"), QString());
    lists.SetFieldByKind(u'B', FourCC("EMPT"), QStringLiteral("blank"));
    lists.SetFieldByKind(u'X', FourCC("LOST"), QStringLiteral("no such kind"));
    lists.List(RegRecordLists::StoredValues).SetField(FourCC("NAME"), QStringLiteral("stored"));
    lists.List(RegRecordLists::DerivedFields).SetField(FourCC("DRVD"), QStringLiteral("<NAME>!"));
    lists.MarkPrivateField(FourCC("SECR"), true);
    FieldList header;
    header.SetField(FourCC("MFGR"), QStringLiteral("OVEX"));
    header.SetField(FourCC("SECR"), QStringLiteral("secret"));

    QStringList filled;
    const auto fill = [&filled](QString& text) {
        filled << text;
        text.replace(QStringLiteral("<NAME>"), QStringLiteral("Ada"));
    };
    EXPECT_EQ(codes(lists.CompleteRecord(header, fill)), QStringLiteral("MFGR=OVEX NAME=stored EMPT=blank DRVD=Ada!"));
    EXPECT_EQ(filled, QStringList{QStringLiteral("<NAME>!")});
    EXPECT_EQ(codes(lists.AssembleRecord(nullptr)), QStringLiteral("NAME=stored EMPT=blank DRVD=<NAME>!"))
        << "without a filler the text stays as written";
    EXPECT_EQ(lists.GetList(RegRecordLists::kListCount), nullptr);
    EXPECT_EQ(lists.GetList(-1), nullptr);
}

// A derived text is held to its limit after substitution, and the cut never leaves half a
// surrogate pair behind.
TEST(RegRecordLists, ADerivedTextIsCutToItsLimitBetweenCharacters)
{
    struct Case {
        const char* name;
        QString text;
        qsizetype expectedSize;
    };
    const QString emoji = QStringLiteral("😀");
    const qsizetype limit = RegRecordLists::kDerivedTextLimit;
    const Case cases[] = {
        {"at the limit", QString(limit, u'a'), limit},
        {"one over", QString(limit + 1, u'a'), limit},
        {"pair across the limit", QString(limit - 1, u'a') + emoji, limit - 1},
        {"pair before the limit", QString(limit - 2, u'a') + emoji + u'b', limit},
    };
    for (const Case& c : cases) {
        RegRecordLists lists;
        lists.List(RegRecordLists::DerivedFields).SetField(FourCC("LONG"), QStringLiteral("<X>"));
        FieldList record;
        lists.AddDerivedFields(record, [&c](QString& text) { text = c.text; });
        const QString value = record.GetField(FourCC("LONG"));
        EXPECT_EQ(value.size(), c.expectedSize) << c.name;
        EXPECT_FALSE(value.back().isHighSurrogate()) << c.name;
    }
}

}  // namespace
