#include "regengine/core/FourCC.h"
#include "regengine/core/LangCode.h"
#include "regengine/core/QmStrStream.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out += char(b);
    return out;
}

TEST(FourCC, GoesToFilesAsItsFourBytesFirstCharacterFirst)
{
    EXPECT_EQ(FourCC("MFGR").Bytes(), bytes({0x4D, 0x46, 0x47, 0x52}));
    EXPECT_EQ(FourCC(u"MFGR").Bytes(), bytes({0x4D, 0x46, 0x47, 0x52}));
    char out[4] = {};
    FourCC("PROD").CopyTo(out);
    EXPECT_EQ(QByteArray(out, 4), QByteArray("PROD"));
    EXPECT_EQ(FourCC::FromBytes(bytes({0x4D, 0x46, 0x47, 0x52})), FourCC("MFGR"));
}

TEST(FourCC, DefaultIsFourQuestionMarksAndEqualityIsExact)
{
    EXPECT_EQ(FourCC(), FourCC("????"));
    EXPECT_NE(FourCC(), FourCC("MFGR"));
    EXPECT_NE(FourCC("MFGR"), FourCC("mfgr"));
    EXPECT_TRUE(FourCC("ENGL").IsEqual(FourCC(u"ENGL")));
}

TEST(FourCC, ConstructionFromTexts)
{
    struct Case {
        const char* name;
        FourCC code;
        QByteArray expected;
    };
    const Case cases[] = {
        {"six wide letters keep the first four", FourCC(u"MFGRXY"), "MFGR"},
        {"three characters end in the terminator's 0", FourCC(u"ABC"), bytes({'A', 'B', 'C', 0})},
        {"two characters stop at the end and pad", FourCC(u"AB"), bytes({'A', 'B', 0, 0})},
        {"empty text is all 0", FourCC(u""), bytes({0, 0, 0, 0})},
        {"narrow text stops at its terminator", FourCC("XY"), bytes({'X', 'Y', 0, 0})},
        {"characters above 255 lose their high byte", FourCC(u"\u0141\u20ACAB"), bytes({0x41, 0xAC, 'A', 'B'})},
        {"blanks are bytes too", FourCC(u"A B "), "A B "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.code.Bytes(), c.expected) << c.name;
}

TEST(FourCC, TextFormAlwaysHasFourCharacters)
{
    FourCC code("MFGR");
    code.SetFirstByte(0);
    const QString text = FieldCodeToString(code);
    ASSERT_EQ(text.size(), 4);
    EXPECT_EQ(text[0], QChar());
    EXPECT_EQ(text.mid(1), u"FGR");
    EXPECT_EQ(FourCC("ab\xE9z").ToWide(), QString::fromUtf16(u"ab\u00E9z"));
    EXPECT_EQ(code[1], 'F');
}

TEST(FourCC, ReadFromStream)
{
    struct Case {
        const char16_t* text;
        bool ok;
        QByteArray code;
        const char16_t* rest;
    };
    const Case cases[] = {
        {u"   MFGR more", true, "MFGR", u" more"},
        {u"MF GR", true, "MF G", u"R"},
        {u"\t\r\nPROD", true, "PROD", u""},
        // Too short: the code keeps its value and the stream fails.
        {u"  AB", false, "????", u""},
        {u"", false, "????", u""},
    };
    for (const Case& c : cases) {
        QmStrStream stream{QString::fromUtf16(c.text)};
        FourCC code;
        EXPECT_EQ(ReadFourCC(stream, code), c.ok) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(code.Bytes(), c.code);
        EXPECT_EQ(stream.fail(), !c.ok);
        if (c.ok) {
            EXPECT_EQ(stream.text().mid(stream.pos()), QString::fromUtf16(c.rest));
        }
    }
    QmStrStream stream(QStringLiteral(" -RGC 1"));
    EXPECT_EQ(FourCC(stream), FourCC("-RGC"));
}

TEST(LangCode, NarrowAndWideCodesCompareByAllThreeBytes)
{
    EXPECT_EQ(LangCode("EN"), LangCode(u"EN"));
    EXPECT_NE(LangCode("EN"), LangCode("ENU"));
    EXPECT_EQ(LangCode("ENGLISH"), LangCode("ENG"));
    EXPECT_EQ(LangCode(u"EN").GetString(), u"EN");
    EXPECT_EQ(LangCode("CHS").GetString(), u"CHS");
    EXPECT_EQ(LangCode("EN")[2], 0);
}

TEST(LangCode, HashIsTimes33OverTheText)
{
    EXPECT_EQ(HashLangCode(LangCode("EN")), 69u * 33u + 78u);
    EXPECT_EQ(HashLangCode(LangCode("CHS")), (67u * 33u + 72u) * 33u + 83u);
    EXPECT_EQ(HashLangCode(LangCode()), 0u);
}

TEST(LangCode, MapTranslatesOnlyWhatItHolds)
{
    EXPECT_EQ(LangCode::Translate(LangCode("CHS")), LangCode("CHS"));
    LangCode::SetMapping(LangCode("CHS"), LangCode("ZX"));
    LangCode::SetMapping(LangCode("CHS"), LangCode("ZH"));
    EXPECT_EQ(LangCode::Translate(LangCode("CHS")), LangCode("ZH"));
    EXPECT_EQ(LangCode::Translate(LangCode("FR")), LangCode("FR"));
}

TEST(LangCode, CurrentLanguageIsEnglishUntilSet)
{
    EXPECT_EQ(LangCode::Current(), LangCode("EN"));
    LangCode::SetCurrent(LangCode("DEU"));
    EXPECT_EQ(LangCode::Current().GetString(), u"DEU");
}

}  // namespace
