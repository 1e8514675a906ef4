#include "client/TovaReader.h"
#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/window/OvexVaskStubRegWind.h"
#include "launcher/window/RegWind.h"
#include "launcher/script/ScriptReader.h"
#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/transport/Packet.h"

#include <gtest/gtest.h>

#include <QBuffer>

using namespace engine;
using namespace launcher;

namespace {

using regwindtest::runScript;

const QString kWind = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Caption\n"
    ">SETHEADER PRNM Ovex Kelvo\n");

QStringList codesOf(const FieldList& list)
{
    QStringList codes;
    for (const auto& field : list)
        codes << FieldCodeToString(field->GetCode());
    return codes;
}

TEST(RecordAssembly, BlankValuesFillEmptyAndNilValues)
{
    struct Case {
        const char* code;
        const char* value;
        const char* blank;  // null: no SETBLANKVALUE
        const char* expected;
    };
    const Case cases[] = {
        {"NIL1", "_nil", nullptr, ""},       {"NIL2", "_nil", "none", "none"},   {"EMP1", "", "unknown", "unknown"},
        {"EMP2", "", nullptr, ""},           {"FULL", "kept", "unused", "kept"}, {"CASE", "_NIL", nullptr, "_NIL"},
        {"BLNK", " _nil", nullptr, " _nil"},
    };
    QString script = kWind;
    for (const Case& c : cases) {
        if (c.blank != nullptr)
            script += QStringLiteral(">SETBLANKVALUE %1 %2\n").arg(QLatin1String(c.code), QLatin1String(c.blank));
    }
    auto reader = runScript(script);
    RegWind* window = reader->GetWindow();
    FieldList list;
    for (const Case& c : cases)
        list.SetField(FourCC(c.code), QString::fromLatin1(c.value));
    window->ApplyBlankValues(list);
    for (const Case& c : cases)
        EXPECT_EQ(list.GetField(FourCC(c.code)), QString::fromLatin1(c.expected)) << c.code;
    EXPECT_EQ(list.GetCount(), int(std::size(cases))) << "blank values add no fields";
}

TEST(RecordAssembly, TheRecordMergesTheListsAndAddsDerivedFields)
{
    auto reader = runScript(kWind + QStringLiteral(">SETFIELD FNAM Ada\n>SETFIELD LNAM Lovelace\n"
                                                   ">SETFIELD MODL typed\n>SETFIELD WHOM page\n"
                                                   ">SETHEADER WHOM header\n>SETHEADER NILH _nil\n"
                                                   ">SETBLANKVALUE NILH none\n"
                                                   ">DERIVE FULL <FNAM> <LNAM>\n"
                                                   ">DERIVE MODL <PRNM> 14\n"
                                                   ">DERIVE APPX <$APP.LangCode>-<PRNM>\n"
                                                   ">DERIVE GONE [<ZZZZ>]\n"));
    RegWind* window = reader->GetWindow();
    window->GetList(RegWind::StoredValues)->SetField(FourCC("WHOM"), QStringLiteral("stored"));
    const FieldList record = window->AssembleRecord();
    struct Expect {
        const char* code;
        const char* value;
    };
    for (const Expect& e :
         {Expect{"FNAM", "Ada"}, Expect{"WHOM", "stored"}, Expect{"NILH", "none"}, Expect{"FULL", "Ada Lovelace"},
          Expect{"MODL", "Ovex Kelvo 14"}, Expect{"APPX", "<$APP.LangCode>-Ovex Kelvo"}, Expect{"GONE", "[]"}})
        EXPECT_EQ(record.GetField(FourCC(e.code)), QString::fromLatin1(e.value)) << e.code;
    // Page fields first, then what the header and the derivations add.
    EXPECT_EQ(codesOf(record).mid(0, 5), (QStringList{"FNAM", "LNAM", "MODL", "WHOM", "PRNM"}));
    EXPECT_EQ(codesOf(record).last(), QStringLiteral("GONE"));
}

TEST(RecordAssembly, PrivateCodesNeverLeaveTheMachine)
{
    auto reader = runScript(kWind + QStringLiteral(">SETHEADER SRNM CZC1234\n>SETFIELD SECR secret\n"
                                                   ">SETFIELD NAME Ada\n>DERIVE SECR derived too\n"));
    RegWind* window = reader->GetWindow();
    window->MarkPrivateField(FourCC("SECR"), true);
    window->MarkPrivateField(FourCC("SRNM"), true);
    EXPECT_TRUE(window->IsPrivateField(FourCC("SECR")));

    EXPECT_EQ(window->AssembleRecord().Find(FourCC("SECR")), nullptr);
    EXPECT_EQ(window->AssembleRecord().Find(FourCC("SRNM")), nullptr);
    window->BuildPacket();
    FieldList sent;
    window->GetHeaderPacket().ReadFields(nullptr, &sent);
    EXPECT_EQ(sent.Find(FourCC("SRNM")), nullptr);
    EXPECT_EQ(sent.GetField(FourCC("PRNM")), QStringLiteral("Ovex Kelvo"));
    for (const quint32 flags : {0u, RegWind::kLeaveOutPrivate}) {
        const QString text = window->FieldsText(u'\n', flags);
        EXPECT_FALSE(text.contains(QStringLiteral("SECR"))) << flags;
        EXPECT_FALSE(text.contains(QStringLiteral("SRNM"))) << flags;
        EXPECT_TRUE(text.contains(QStringLiteral("NAME:Ada\n"))) << flags;
    }

    window->MarkPrivateField(FourCC("SECR"), false);
    EXPECT_EQ(window->AssembleRecord().GetField(FourCC("SECR")), QStringLiteral("derived too"));
}

TEST(RecordAssembly, TheWriterLeavesOutCodesByTheirFirstCharacterOnlyWhenAsked)
{
    struct Case {
        const char* code;
        bool written;
    };
    const Case cases[] = {
        {"-RGC", false}, {";MTH", false}, {"_MDM", false}, {"mFNM", false}, {"rgit", false},
        {"MFGR", true},  {"9ABC", true},  {"Zulu", true},  {"#ABC", true},  {" ABC", true},
    };
    auto reader = runScript(kWind);
    FieldList list;
    for (const Case& c : cases)
        list.SetField(FourCC(c.code), QStringLiteral("v"));
    const QString all = reader->GetWindow()->FieldsText(u'\n', 0, &list);
    const QString kept = reader->GetWindow()->FieldsText(u'\n', RegWind::kLeaveOutPrivate, &list);
    for (const Case& c : cases) {
        const QString line = QString::fromLatin1(c.code) + QStringLiteral(":v\n");
        EXPECT_TRUE(all.contains(line)) << c.code;
        EXPECT_EQ(kept.contains(line), c.written) << c.code;
    }
}

TEST(RecordAssembly, TheWholeRecordIsTheHeaderPacketThenThePageFields)
{
    auto reader = runScript(kWind + QStringLiteral(">SETHEADER MFGR 0000\n>SETHEADER -RGC 1\n>SETHEADER NILH _nil\n"
                                                   ">SETFIELD USID 1234\n>SETFIELD PRNM page name\n"
                                                   ">SETFIELD EMPT x\n>SETBLANKVALUE EMPT blank\n"
                                                   ">DERIVE DRVD <USID>!\n"));
    RegWind* window = reader->GetWindow();
    window->GetList(RegWind::PageFields)->SetField(FourCC("EMPT"), QString());
    window->GetList(RegWind::StoredValues)->SetField(FourCC("USID"), QStringLiteral("stored"));
    window->BuildPacket();
    // Entries made after the packet was built wait for the next BuildPacket.
    window->SetHeader(FourCC("LATE"), QStringLiteral("late"));
    EXPECT_EQ(window->FieldsText(u'\n', RegWind::kLeaveOutPrivate),
              QStringLiteral("PRNM:page name\nMFGR:OVEX\nNILH:\nPROD:OVX1\nRgVr:W61017\nVERS:0102\n"
                             "VRST:0102 (EN)\nBlVr:W61030\nRCVR:WS0089A\nUSID:stored\nEMPT:blank\nDRVD:stored!\n"));
    EXPECT_EQ(window->FieldsText(u'\r', RegWind::kLeaveOutPrivate, window->GetList(RegWind::StoredValues)),
              QStringLiteral("USID:stored\r\n"));
    EXPECT_EQ(window->FieldsText(u'\t', 0, window->GetList(RegWind::StoredValues)), QStringLiteral("USID:stored\t"));
    window->BuildPacket();
    EXPECT_TRUE(window->FieldsText(u'\n', 0).contains(QStringLiteral("LATE:late\n")));
    EXPECT_TRUE(window->GetHeaderPacket().IsValid(true));
}

TEST(RecordAssembly, TheOutputOrderPutsNamedCodesFirstAndAddsMissingOnes)
{
    auto reader = runScript(kWind + QStringLiteral(">LIST order\nLNAM\nXTRA\nFNAM\n>OUTPUTORDER order\n"
                                                   ">OUTPUTORDER missing\n"));
    RegWind* window = reader->GetWindow();
    FieldList list;
    for (const char* code : {"FNAM", "CTRY", "LNAM", "MODL"})
        list.SetField(FourCC(code), QString::fromLatin1(code).toLower());
    window->ForEachListedField(list);
    EXPECT_EQ(codesOf(list), (QStringList{"LNAM", "XTRA", "FNAM", "CTRY", "MODL"}));
    EXPECT_EQ(list.GetField(FourCC("XTRA")), QString());
    EXPECT_EQ(list.GetField(FourCC("FNAM")), QStringLiteral("fnam"));

    auto unordered = runScript(kWind);
    FieldList same;
    same.SetField(FourCC("FNAM"), QString());
    same.SetField(FourCC("CTRY"), QString());
    unordered->GetWindow()->ForEachListedField(same);
    EXPECT_EQ(codesOf(same), (QStringList{"FNAM", "CTRY"}));
}

// The client reads the registration file line by line: a value with a raw line break
// would end its line early and fail the whole file.
TEST(RecordAssembly, ValuesWithLineBreaksStayOnTheirLineAndReadBackInTheClient)
{
    auto reader = runScript(kWind);
    RegWind* window = reader->GetWindow();
    FieldList list;
    list.SetField(FourCC("NOTE"), QStringLiteral("two\r\nlines\nand\rthree"));
    list.SetField(FourCC("ENDS"), QStringLiteral("value\n>EndRecord"));
    list.SetField(FourCC("NAME"), QStringLiteral("Jörg Müller 東京 😀"));
    list.SetField(FourCC("EMPT"), QString());

    const QString fields = window->FieldsText(u'\n', RegWind::kLeaveOutPrivate, &list);
    EXPECT_EQ(fields, QStringLiteral("NOTE:two lines and three\nENDS:value >EndRecord\n"
                                     "NAME:Jörg Müller 東京 😀\nEMPT:\n"));
    EXPECT_EQ(window->FieldsText(u'\t', 0, &list).left(26), QStringLiteral("NOTE:two\r\nlines\nand\rthree\t"))
        << "a tab-separated form keeps the value as it is";

    auto readRecord = [](const QString& recordLines) {
        QByteArray bytes = QByteArray(">BeginRecord\n") + recordLines.toUtf8() + QByteArray(">EndRecord\n");
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        return client::TovaReader::Read(buffer);
    };
    const client::TovaReader read = readRecord(fields);
    ASSERT_TRUE(read.ok);
    const QList<client::RecordMap> records = read.GetSection(QStringLiteral("record"));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value(QStringLiteral("NOTE")), QStringLiteral("two lines and three"));
    EXPECT_EQ(records[0].value(QStringLiteral("ENDS")), QStringLiteral("value >EndRecord"));
    EXPECT_EQ(records[0].value(QStringLiteral("NAME")), QStringLiteral("Jörg Müller 東京 😀"));
    EXPECT_EQ(records[0].size(), 4);

    EXPECT_FALSE(readRecord(QStringLiteral("NOTE:two\nlines\n")).ok) << "what a raw line break does";
}

// The product's own script on a machine that says who it is, for a user in Austria.
TEST(RecordAssembly, TheBuiltInScriptsRecordForTheRegistrationFile)
{
    RegisterLauncherAttachments();
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "de_AT.UTF-8");
    qputenv("OVEX_DMI_DIR", testsupport::fixturePath(QStringLiteral("dmi/laptop")).toLocal8Bit());
    const std::optional<QString> script = ScriptReader::LoadPageScript(LangCode("DEA"), QStringLiteral("launcher"));
    ASSERT_TRUE(script);
    ScriptReader reader(std::make_unique<QmStrStream>(*script), QString(), LangCode("DEA"));
    reader.SetWindowFactory(&CreateStubRegWind);
    reader.Run();
    RegWind* window = reader.GetWindow();
    ASSERT_NE(window, nullptr);
    // What the first-run test and the start add before the start event.
    window->SetHeader(FourCC("-RGC"), QStringLiteral("1"));
    window->GetList(RegWind::PageFields)
        ->SetField(FourCC("USID"), QStringLiteral("7d3c1f2e-8a4b-4c5d-9e6f-0a1b2c3d4e5f"));
    window->BuildPacket();
    EXPECT_EQ(window->FieldsText(u'\n', RegWind::kLeaveOutPrivate),
              QStringLiteral("MFGR:OVEX\nPROD:OVX1\nRgVr:W61017\nVERS:0102\nVRST:0102 (EN)\nBlVr:W61030\n"
                             "RCVR:WS0089A\nPRNM:Ovex Kelvo\nLANG:DEA\nCTRY:AUT\nMODL:Kelvo Book 14\n"
                             "SRNM:QX7-0042-1138\nUSID:7d3c1f2e-8a4b-4c5d-9e6f-0a1b2c3d4e5f\n"));
    EXPECT_EQ(window->SubstituteTags(QStringLiteral("<PRNM>.tova"), false), QStringLiteral("Ovex Kelvo.tova"));
}

}  // namespace
