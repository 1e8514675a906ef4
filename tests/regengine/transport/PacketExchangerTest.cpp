#include "regengine/core/FieldList.h"
#include "regengine/core/ModalWait.h"
#include "regengine/transport/Packet.h"
#include "regengine/transport/PacketExchanger.h"
#include "regengine/transport/RemoteCommand.h"
#include "regengine/transport/TapiHayes.h"

#include "platform/telephony/HayesTelephony.h"
#include "platform/ui/Ui.h"

#include "tests/peers/FakeModem.h"
#include "tests/peers/ModemService.h"
#include "tests/regengine/transport/TransportTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>

#include <atomic>
#include <mutex>

using namespace engine;
using testpeers::FakeModem;
using testpeers::servicePacket;
using testpeers::telephonyFor;
using transporttest::Pty;
using transporttest::StepClock;

namespace {

QByteArray record(const char* name, std::initializer_list<quint32> args = {}, const QByteArray& extra = {})
{
    QByteArray data(4, '\0');
    for (const quint32 a : args) {
        for (int shift = 24; shift >= 0; shift -= 8)
            data.append(char(a >> shift));
    }
    data += extra;
    QByteArray out(name, 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(quint32(data.size()) >> shift));
    return out + data;
}

Packet received(const QByteArray& bytes)
{
    Packet packet;
    packet.Clear();
    packet.Append(bytes);
    packet.SetChecksumFlag(true);
    return packet;
}

TEST(PacketBytes, GoldenPackets)
{
    FieldList typeRecord;
    typeRecord.SetField(FourCC("TYPE"), QStringLiteral("Register"));
    const FieldList none;
    struct Case {
        const char* name;
        char type;
        const FieldList* fields;
        const char* hex;
    };
    for (const Case& c : {Case{"acknowledgement of sequence 1", Packet::kAck, nullptr, "0100000000020159005a"},
                          Case{"negative acknowledgement", Packet::kNak, nullptr, "010000000002014e004f"},
                          Case{"request type record", Packet::kData, &typeRecord,
                               "0100000000170144545950453a5265676973746572005a5a5a5a3a3a0006e2"},
                          Case{"empty field list", Packet::kData, &none, "01000000000901445a5a5a5a3a3a000221"}}) {
        // A new packet's first header carries sequence 1.
        Packet packet(c.type);
        if (c.fields != nullptr)
            packet.AddFields(*c.fields);
        packet.Finish();
        EXPECT_EQ(packet.Bytes().toByteArray().toHex(), QByteArray(c.hex)) << c.name;
    }
    // The next header of the same packet carries sequence 2.
    Packet second;
    second.Begin(Packet::kData);
    second.Finish();
    EXPECT_EQ(second.Bytes().toByteArray().toHex(), QByteArray("01000000000202440046"));
}

TEST(RemoteCommands, NamesAndArgumentCounts)
{
    struct Case {
        const char* name;
        qint32 number;
        int args;
    };
    for (const Case& c :
         {Case{"SETF", 0, 0}, Case{"SHWA", 3, 1}, Case{"ADCT", 7, 6}, Case{"ADJF", 11, 4}, Case{"GOTO", 13, 1},
          Case{"TXTR", 16, 5}, Case{"TCMD", 22, 0}, Case{"setf", 9999, 0}, Case{"ZZZZ", 9999, 0}}) {
        EXPECT_EQ(LookupRemoteCommand(c.name), c.number) << c.name;
        if (c.number != kUnknownCommand) {
            EXPECT_EQ(kRemotePageCommands[c.number].argCount, c.args) << c.name;
        }
    }
}

TEST(RemoteCommands, RecordsAreReadInsideThePayload)
{
    const QByteArray text = QStringLiteral("NAMEJoe").toUtf8();
    const QByteArray payload = record("SETF", {}, text) + record("GOTO", {3}) + record("ADCT", {1, 2, 3, 4, 5, 6}) +
                               record("XXXX", {}, QByteArray("\x00\x00\x00\x07", 4)) + record("SHWA");
    const Packet packet = received(servicePacket(1, 'D', payload));
    ASSERT_TRUE(packet.IsValid(true));
    ASSERT_TRUE(PacketReadGuard(packet, true));
    quint32 position = 0;
    RemoteRecord r;
    ASSERT_TRUE(ReadRecord(packet, position, r));
    EXPECT_EQ(QByteArray(r.name, 4), "SETF");
    EXPECT_EQ(r.length, 4u + quint32(text.size()));
    EXPECT_EQ(r.bytes.toByteArray().mid(12), text);
    ASSERT_TRUE(ReadRecord(packet, position, r));
    EXPECT_EQ(r.command, 13);
    EXPECT_EQ(r.argCount, 1);
    EXPECT_EQ(r.args[0], 3u);
    ASSERT_TRUE(ReadRecord(packet, position, r));
    EXPECT_EQ(r.argCount, 6);
    EXPECT_EQ(r.args[5], 6u);
    // An unknown name converts only the record length; its bytes stay as they came.
    ASSERT_TRUE(ReadRecord(packet, position, r));
    EXPECT_EQ(r.command, kUnknownCommand);
    EXPECT_EQ(r.argCount, 0);
    EXPECT_EQ(r.bytes.toByteArray().mid(12), QByteArray("\x00\x00\x00\x07", 4));
    // A record too short for its argument leaves it 0.
    ASSERT_TRUE(ReadRecord(packet, position, r));
    EXPECT_EQ(r.command, 3);
    EXPECT_EQ(r.argCount, 0);
    EXPECT_EQ(r.args[0], 0u);
    EXPECT_FALSE(ReadRecord(packet, position, r));
    EXPECT_TRUE(PacketReadGuard(packet, false));

    // Lengths that reach into the checksum or past the end end the reading.
    for (const quint32 length : {7u, 8u, 0x7FFFFFFFu, 0xFFFFFFF8u}) {
        QByteArray bad = record("SETF", {}, "ab");
        bad[4] = char(length >> 24);
        bad[5] = char(length >> 16);
        bad[6] = char(length >> 8);
        bad[7] = char(length);
        const Packet broken = received(servicePacket(1, 'D', bad));
        quint32 at = 3;
        EXPECT_FALSE(ReadRecord(broken, at, r)) << length;
    }
}

TEST(PacketRecords, AFieldScanStopsAtTheChecksum)
{
    // The last record has no end byte: its value must not take in the checksum's bytes.
    const Packet packet = received(servicePacket(1, 'D', QByteArray("NAME:Jo")));
    ASSERT_TRUE(packet.IsValid(true));
    FieldList list;
    packet.ReadFields(nullptr, &list);
    EXPECT_EQ(list.GetField(FourCC("NAME")), QStringLiteral("Jo"));
}

// What the service's side saw, filled on the modem's thread.
struct ServiceLog {
    std::mutex mutex;
    QList<QByteArray> fromEngine;
    std::atomic<bool> done{false};
    void add(const QByteArray& p)
    {
        std::lock_guard lock(mutex);
        fromEngine << p;
    }
};

const QByteArray kAck = QByteArray::fromHex("0100000000020159005a");
const QByteArray kNak = QByteArray::fromHex("010000000002014e004f");

TEST(PacketExchange, AWholeRegistrationOverTheFakeModem)
{
    static ServiceLog log;
    const QByteArray commands = record("SETF", {}, "NAMEJoe") + record("NSCR");
    const QByteArray reply = servicePacket(5, 'D', commands);
    const QByteArray second = servicePacket(6, 'D', record("TCMD", {}, "PAGE"));
    FakeModem::Options options = FakeModem::at(2400);
    options.service = [reply, second](FakeModem::Link& link) {
        link.write(kNak);  // the service opens the exchange
        // The first data packet is refused once and must come again.
        const QByteArray first = link.readPacket(5000);
        log.add(first);
        link.write(kNak);
        log.add(link.readPacket(5000));
        link.write(kAck);
        log.add(link.readPacket(5000));
        link.write(kAck);
        // The reply goes out corrupted first; the engine answers with a NAK.
        QByteArray corrupted = reply;
        corrupted[corrupted.size() - 1] = char(corrupted[corrupted.size() - 1] ^ 0x55);
        link.write(corrupted);
        log.add(link.readPacket(5000));
        link.write(reply);
        log.add(link.readPacket(5000));
        // A resend of the same packet, as if the ACK had been lost, then the next one.
        link.write(reply);
        log.add(link.readPacket(5000));
        link.write(second);
        log.add(link.readPacket(5000));
        log.done = true;
    };
    FakeModem modem(options);
    platform::HayesTelephony telephony(telephonyFor(modem));
    TapiHayes device(QString(), &telephony);
    ASSERT_TRUE(device.Dial("5550100"));

    PacketExchanger exchanger(0, &device);
    FieldList request;
    request.SetField(FourCC("TYPE"), QStringLiteral("Register"));
    FieldList record;
    record.SetField(FourCC("NAME"), QStringLiteral("Jörg"));
    record.SetField(FourCC("_MDM"), QStringLiteral("1"));
    Packet first;
    first.AddFields(request);
    first.Finish();
    Packet fields;
    fields.Begin(Packet::kData);
    fields.AddFields(record, Packet::kSkipUnderscore);
    fields.Finish();
    Packet in1;
    Packet in2;
    try {
        exchanger.Start();
        EXPECT_EQ(exchanger.SendPacket(first), Packet::kAck);
        EXPECT_EQ(exchanger.SendPacket(fields), Packet::kAck);
        exchanger.ReceivePacket(in1, true, true, 0);
        exchanger.ReceivePacket(in2, true, true, 0);
    } catch (int thrown) {
        FAIL() << "the exchange threw " << thrown;
    }
    EXPECT_EQ(in1.Bytes().toByteArray(), reply);
    EXPECT_EQ(in2.Bytes().toByteArray(), second);
    quint32 position = 0;
    RemoteRecord r;
    ASSERT_TRUE(ReadRecord(in1, position, r));
    EXPECT_EQ(r.command, 0);
    ASSERT_TRUE(ReadRecord(in1, position, r));
    EXPECT_EQ(r.command, 9);
    EXPECT_FALSE(ReadRecord(in1, position, r));

    platform::pumpUntil([] { return log.done.load(); }, 5000);
    ASSERT_TRUE(log.done);
    std::lock_guard lock(log.mutex);
    ASSERT_EQ(log.fromEngine.size(), 7);
    EXPECT_EQ(log.fromEngine[0], first.Bytes().toByteArray());
    EXPECT_EQ(log.fromEngine[1], first.Bytes().toByteArray());
    // The '_' field stayed home.
    EXPECT_EQ(log.fromEngine[2], servicePacket(2, 'D', QByteArray("NAME:J\xc3\xb6rg\0ZZZZ::\0", 18)));
    EXPECT_EQ(log.fromEngine[3], kNak);
    // Every acknowledgement is a new packet of sequence 1, the resend's included.
    EXPECT_EQ(log.fromEngine[4], kAck);
    EXPECT_EQ(log.fromEngine[5], kAck);
    EXPECT_EQ(log.fromEngine[6], kAck);
}

// An exchange whose service's side does `service`, on a device with the fast clock.
bool exchangeThrows(std::function<void(FakeModem::Link&)> service, bool initiator = false)
{
    FakeModem::Options options = FakeModem::at(2400);
    options.service = std::move(service);
    FakeModem modem(options);
    platform::HayesTelephony telephony(telephonyFor(modem));
    TapiHayes device(QString(), &telephony);
    EXPECT_TRUE(device.Dial("5550100"));
    static StepClock clock(20);
    device.SetClock(&clock);
    PacketExchanger exchanger(initiator ? 1 : 0, &device);
    Packet packet;
    packet.AddFields(FieldList());
    packet.Finish();
    bool threw = false;
    try {
        exchanger.Start();
        exchanger.SendPacket(packet);
    } catch (int thrown) {
        EXPECT_EQ(thrown, -1);
        threw = true;
    }
    return threw;
}

TEST(PacketExchange, SilenceEndsTheStartWithAThrow)
{
    EXPECT_TRUE(exchangeThrows([](FakeModem::Link&) {}));
}

TEST(PacketExchange, AHangUpMidExchangeEndsItWithAThrow)
{
    EXPECT_TRUE(exchangeThrows([](FakeModem::Link& link) {
        link.write(kNak);
        link.readPacket(5000);
        link.hangUp();
    }));
}

TEST(PacketExchange, EndlessRefusalsEndAfterTheSixthSend)
{
    static std::atomic<int> sends{0};
    EXPECT_TRUE(exchangeThrows([](FakeModem::Link& link) {
        link.write(kNak);
        while (!link.stopping()) {
            if (link.readPacket(300).size() < 10)
                break;
            ++sends;
            link.write(kNak);
        }
    }));
    EXPECT_EQ(sends.load(), 6);
}

TEST(PacketExchange, TheInitiatorOpensWithANegativeAcknowledgement)
{
    static QByteArray opening;
    EXPECT_FALSE(exchangeThrows(
        [](FakeModem::Link& link) {
            opening = link.readPacket(5000);
            link.readPacket(5000);
            link.write(kAck);
        },
        true));
    EXPECT_EQ(opening, kNak);
}

TEST(PacketExchange, ADeclaredLengthBeyondTheCapIsNeverReadOn)
{
    // A header announcing two gigabytes, then a valid packet: the engine refuses the first,
    // flushes, and takes the second when it comes.
    Pty pty;
    SerialDevice device(pty.path);
    ASSERT_EQ(device.Open(), 0);
    StepClock clock(20);
    device.SetClock(&clock);
    PacketExchanger exchanger(0, &device);
    pty.write(QByteArray::fromHex("017fffffff01") + QByteArray(64, 'x'));
    std::thread later([&] {
        const QByteArray nak = pty.readAll(3000);
        EXPECT_TRUE(nak.endsWith(kNak)) << nak.toHex().constData();
        pty.write(servicePacket(3, 'D', "ZZZZ::" + QByteArray(1, '\0')));
    });
    Packet packet;
    EXPECT_NO_THROW(exchanger.ReceivePacket(packet, true, true, 0));
    later.join();
    EXPECT_TRUE(packet.IsValid(true));
    EXPECT_EQ(packet.GetLength(), 17u);
}

// The longest packet the writer makes is one the reader takes; a longer one is never sent.
TEST(PacketExchange, BothEndsShareOneLimit)
{
    FieldList list;
    list.SetField(FourCC("NOTE"), QString(qsizetype(Packet::kMaxDeclaredLength) - 2 - 7 - 6, u'x'));
    Packet largest;
    ASSERT_TRUE(largest.AddFields(list));
    largest.Finish();
    ASSERT_EQ(largest.GetDeclaredLength(), Packet::kMaxDeclaredLength);

    Pty pty;
    SerialDevice device(pty.path);
    // The real clock: a packet this long takes the line a while, and only silence may end
    // the reading.
    ASSERT_EQ(device.Open(), 0);
    PacketExchanger exchanger(0, &device);
    std::thread far([&] {
        // The master side does not block: write on until the line has taken it all.
        const QByteArray bytes = largest.Bytes().toByteArray();
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::write(pty.master, bytes.constData() + at, size_t(bytes.size() - at));
            if (n > 0)
                at += n;
            else
                QThread::msleep(1);
        }
    });
    Packet in;
    EXPECT_NO_THROW(exchanger.ReceivePacket(in, true, true, 0));
    far.join();
    EXPECT_EQ(in.Bytes().toByteArray(), largest.Bytes().toByteArray());
    EXPECT_TRUE(pty.readAll(1000).endsWith(kAck));

    Packet longer;
    longer.Append(QByteArray(qsizetype(Packet::kMaxDeclaredLength) - 1, 'y'));
    longer.Finish();
    EXPECT_THROW(exchanger.SendPacket(longer), int);
    EXPECT_FALSE(pty.readAll(100).contains("yyyy")) << "a packet the far end refuses went out";
}

TEST(PacketExchange, CancelDuringAWaitThrows)
{
    Pty pty;
    SerialDevice device(pty.path);
    ASSERT_EQ(device.Open(), 0);
    PacketExchanger exchanger(0, &device);
    SetCancelFlag(1);
    Packet packet;
    EXPECT_THROW(exchanger.ReceivePacket(packet, true, true, 0), int);
    SetCancelFlag(0);
}

}  // namespace
