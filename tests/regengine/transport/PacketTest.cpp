#include "regengine/core/Displayer.h"
#include "regengine/core/FieldList.h"
#include "regengine/transport/Packet.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringList>

using namespace engine;

namespace {

QByteArray bytesOf(const Packet& packet)
{
    return packet.Bytes().toByteArray();
}

// A displayer that keeps what it is given.
class Lines final : public Displayer {
public:
    void Clear() override { text.clear(); }
    void Append(QStringView t) override { text += t; }
    QString text;
};

TEST(Packet, AcknowledgementsAreTenFixedBytes)
{
    struct Case {
        char type;
        const char* hex;
    };
    for (const Case& c : {Case{Packet::kNak, "010000000002014e004f"}, Case{Packet::kAck, "0100000000020159005a"}}) {
        Packet packet(c.type);
        packet.Finish();
        EXPECT_EQ(bytesOf(packet).toHex(), QByteArray(c.hex)) << c.type;
        EXPECT_TRUE(packet.IsValid(false)) << c.type;
        EXPECT_FALSE(packet.IsValid(true)) << "not data: " << c.type;
    }
}

TEST(Packet, TheSequenceRunsFromOneToAHundred)
{
    Packet packet;
    EXPECT_EQ(packet.GetSequence(), 1);
    for (int i = 2; i <= 100; ++i)
        packet.Begin(Packet::kData);
    EXPECT_EQ(packet.GetSequence(), 100);
    EXPECT_EQ(quint8(bytesOf(packet)[6]), 100);
    packet.Begin(Packet::kData);
    EXPECT_EQ(packet.GetSequence(), 1);
    EXPECT_EQ(bytesOf(packet)[6], 1);
}

TEST(Packet, ValidityNeedsLengthChecksumAndType)
{
    Packet data;
    data.Append("payload");
    data.Finish();
    ASSERT_TRUE(data.IsValid(true));
    EXPECT_EQ(data.GetDeclaredLength(), 7u + 2u);
    EXPECT_EQ(data.GetStoredChecksum(), data.ComputeChecksum());

    struct Case {
        const char* name;
        int index;  // byte changed, or -1 to cut the last byte
        char value;
    };
    for (const Case& c : {Case{"a payload byte changed", 9, 'X'}, Case{"the declared length", 5, 10},
                          Case{"the checksum", 16, 0}, Case{"the first marker", 0, 2}}) {
        QByteArray bytes = bytesOf(data);
        bytes[c.index] = c.value;
        Packet broken;
        broken.Clear();
        broken.Append(bytes);
        broken.SetChecksumFlag(true);
        if (c.index == 0) {
            // The first marker is not part of the sum; only the receiver's header check sees it.
            EXPECT_TRUE(broken.IsValid(true)) << c.name;
            continue;
        }
        EXPECT_FALSE(broken.IsValid(true)) << c.name;
    }
    // A correct sum over a packet whose declared length does not match its size.
    Packet longer;
    longer.Clear();
    longer.Append(bytesOf(data) + QByteArray(1, '\0'));
    EXPECT_FALSE(longer.IsValid(false));
    Packet shorter;
    shorter.Clear();
    shorter.Append(bytesOf(data).left(7));
    EXPECT_FALSE(shorter.IsValid(false));
}

TEST(PacketRecords, FieldsGoOutAsUtf8RecordsAndReadBack)
{
    FieldList list;
    list.SetField(FourCC("MFGR"), QStringLiteral("0000"));
    list.SetField(FourCC("NAME"), QStringLiteral("Jörg 東京 😀"));
    list.SetField(FourCC("EMPT"), QString());
    Packet packet;
    packet.AddFields(list);
    const QByteArray expected = QByteArray("MFGR:0000\0NAME:", 15) + QStringLiteral("Jörg 東京 😀").toUtf8() +
                                QByteArray("\0EMPT:\0ZZZZ::\0", 14);
    EXPECT_EQ(bytesOf(packet).mid(Packet::kHeaderSize), expected);
    packet.Finish();
    EXPECT_TRUE(packet.IsValid(true));

    FieldList read;
    read.SetField(FourCC("OLD_"), QStringLiteral("dropped"));
    Lines lines;
    packet.ReadFields(&lines, &read);
    ASSERT_EQ(read.GetCount(), 3);
    EXPECT_EQ(read.GetField(FourCC("NAME")), QStringLiteral("Jörg 東京 😀"));
    EXPECT_EQ(read.Find(FourCC("OLD_")), nullptr);
    EXPECT_EQ(lines.text, QStringLiteral("< MFGR >  0000\r\n< NAME >  Jörg 東京 😀\r\n< EMPT >  \r\n"));
}

TEST(PacketRecords, AnEmptyListWritesOnlyTheEndRecord)
{
    Packet packet;
    packet.AddFields(FieldList());
    EXPECT_EQ(bytesOf(packet).mid(Packet::kHeaderSize), QByteArray("ZZZZ::\0", 7));
    FieldList read;
    packet.ReadFields(nullptr, &read);
    EXPECT_TRUE(read.IsEmpty());
}

TEST(PacketRecords, FlagsLeaveOutCodesByTheirFirstCharacter)
{
    FieldList list;
    for (const char* code : {"MFGR", "mFNM", "_MDM", ";MTH", "-RGC"})
        list.SetField(FourCC(code), QStringLiteral("v"));
    struct Case {
        quint32 addFlags;
        quint32 readFlags;
        const char* codes;
    };
    for (const Case& c :
         {Case{0, 0, "MFGR mFNM _MDM ;MTH -RGC"}, Case{Packet::kSkipLowerCase, 0, "MFGR _MDM ;MTH -RGC"},
          Case{Packet::kSkipUnderscore, 0, "MFGR mFNM ;MTH -RGC"},
          Case{Packet::kSkipLowerCase | Packet::kSkipUnderscore, 0, "MFGR ;MTH -RGC"},
          Case{0, Packet::kSkipPrivate, "MFGR -RGC"}}) {
        Packet packet;
        packet.AddFields(list, c.addFlags);
        FieldList read;
        packet.ReadFields(nullptr, &read, c.readFlags);
        QStringList codes;
        for (const auto& field : read)
            codes << FieldCodeToString(field->GetCode());
        EXPECT_EQ(codes.join(u' '), QString::fromLatin1(c.codes)) << c.addFlags << "/" << c.readFlags;
    }
}

TEST(PacketRecords, ACutOffPacketEndsTheReading)
{
    Packet full;
    FieldList list;
    list.SetField(FourCC("AAAA"), QStringLiteral("one"));
    list.SetField(FourCC("BBBB"), QStringLiteral("two"));
    full.AddFields(list);
    const QByteArray bytes = bytesOf(full);
    for (qsizetype cut = Packet::kHeaderSize; cut < bytes.size(); ++cut) {
        Packet part;
        part.Clear();
        part.Append(bytes.left(cut));
        FieldList read;
        part.ReadFields(nullptr, &read);
        EXPECT_LE(read.GetCount(), 2) << cut;
        if (read.Find(FourCC("BBBB")) != nullptr) {
            EXPECT_EQ(read.GetField(FourCC("AAAA")), QStringLiteral("one")) << cut;
        }
    }
}

// What the writer takes reads back as the same fields; what would not is refused whole,
// with the reason, and the packet stays as it was.
TEST(PacketRecords, TheWriterRefusesWhatWouldNotReadBackTheSame)
{
    // Room for "NOTE:<n bytes>\0" beside MFGR and PROD (10 bytes each), the end record and
    // the checksum.
    const qsizetype room = qsizetype(Packet::kMaxDeclaredLength) - 2 - 7 - 20 - 6;
    struct Case {
        const char* name;
        const char* code;
        QString value;
        const char* why;  // nullptr: taken
    } cases[] = {
        {"a NUL would end the value and start a forged field", "NOTE", QString::fromUtf16(u"hi\0PROD:evil", 12),
         "NOTE cannot be sent: its value holds a NUL character"},
        {"an end record in the middle would drop what follows", "ZZZZ", QStringLiteral("x"),
         "ZZZZ cannot be sent: its code ends the record"},
        {"a value that merely looks like records", "NOTE", QStringLiteral("hi:PROD:evil ZZZZ::"), nullptr},
        {"the longest record the receiver takes", "NOTE", QString(room, u'x'), nullptr},
        {"one byte more", "NOTE", QString(room + 1, u'x'), "a packet carries at most 65534"},
        {"long in UTF-8, not in characters", "NOTE", QString(room / 2 + 1, QChar(0x00e9)), "at most 65534"},
    };
    for (const Case& c : cases) {
        FieldList list;
        list.SetField(FourCC("MFGR"), QStringLiteral("0000"));
        list.SetField(FourCC(c.code), c.value);
        list.SetField(FourCC("PROD"), QStringLiteral("OVX1"));
        Packet packet;
        QString why = QStringLiteral("stale");
        const bool taken = packet.AddFields(list, 0, &why);
        if (c.why == nullptr) {
            ASSERT_TRUE(taken) << c.name << ": " << why.toStdString();
            EXPECT_TRUE(why.isEmpty()) << c.name;
            packet.Finish();
            EXPECT_TRUE(packet.IsValid(true)) << c.name;
            FieldList read;
            packet.ReadFields(nullptr, &read);
            EXPECT_EQ(read.GetCount(), 3) << c.name;
            EXPECT_EQ(read.GetField(FourCC(c.code)), c.value) << c.name;
            continue;
        }
        EXPECT_FALSE(taken) << c.name;
        EXPECT_TRUE(why.contains(QString::fromUtf8(c.why))) << c.name << ": " << why.toStdString();
        EXPECT_EQ(packet.GetLength(), quint32(Packet::kHeaderSize)) << c.name;
    }
}

}  // namespace
