#include "regengine/transport/PacketExchanger.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/transport/CommDevice.h"
#include "regengine/transport/Packet.h"

#include "platform/text/Format.h"

namespace engine {

namespace {

constexpr int kHeadBytes = 6;

quint32 bigEndian32(const char* p)
{
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 | quint8(p[3]);
}

void trace(const QString& text)
{
    EngineTrace(text);
}

}  // namespace

PacketExchanger::PacketExchanger(qint32 initiator, CommDevice* device) : initiator_(initiator), device_(device) {}

PacketExchanger::~PacketExchanger() = default;

void PacketExchanger::Start()
{
    // The abort flag alone: a Hayes device's ClearError would reset the connected modem.
    device_->ClearAbort();
    if (initiator_ != 0) {
        device_->WaitTicks(20);
        device_->FlushInput(10, 1000);
        SendNak();
        return;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        Packet packet;
        ReceivePacket(packet, false, false, 2);
        trace(QStringLiteral("Received potential start nak Packet ") + QChar::fromLatin1(packet.GetType()));
        if (packet.IsValid(false)) {
            trace(QStringLiteral("Packet is valid "));
            if (packet.GetType() == Packet::kNak)
                return;
        }
    }
    throw -1;
}

char PacketExchanger::SendPacket(const Packet& packet)
{
    // The far end would take it for a broken header and never acknowledge it.
    if (packet.GetLength() > Packet::kMaxDeclaredLength + Packet::kHeaderSize) {
        trace(platform::formatText(QStringLiteral("Not sending a %ld byte packet: longer than the far end takes"),
                                   long(packet.GetLength())));
        throw -1;
    }
    int sends = 0;
    for (;;) {
        trace(platform::formatText(QStringLiteral("Sending %ld byte packet"), long(packet.GetLength())));
        device_->FlushInput(10, 0);
        const QByteArrayView bytes = packet.Bytes();
        const int sent = device_->Send(bytes.constData(), qint32(bytes.size()));
        ++sends;
        // A send that failed went out short, if at all: the far end cannot have it.
        if (sends == kMaxFailures || device_->GetAbortFlag() || sent == CommDevice::kFailed)
            throw -1;
        if (WaitReply() != Packet::kNak)
            return Packet::kAck;
    }
}

char PacketExchanger::WaitReply()
{
    Packet reply;
    ReceivePacket(reply, false, false, 0);
    return reply.IsValid(false) && reply.GetType() == Packet::kAck ? Packet::kAck : Packet::kNak;
}

void PacketExchanger::Fail(int& failures, bool checkAbort)
{
    if (++failures >= kMaxFailures || (checkAbort && device_->GetAbortFlag()))
        throw -1;
}

void PacketExchanger::ReceivePacket(Packet& packet, bool acknowledge, bool dataRequired, quint32 expected)
{
    int failures = 0;
    for (;;) {
        packet.Clear();
        char head[kHeadBytes] = {};
        const qint32 got = device_->ComInMin(head, kHeadBytes, 100);
        const bool framed = got == kHeadBytes && head[0] == 1 && head[1] == 0;
        const quint32 declared = framed ? bigEndian32(head + 2) : 0;
        // A declared length is the far end's word only: a longer one than any packet of
        // the exchange is a broken header, not a reason to read on.
        if (!framed || declared > Packet::kMaxDeclaredLength) {
            device_->WaitTicks(10);
            device_->FlushInput(50, 1000);
            trace(platform::formatText(QStringLiteral("In ReceivePacket only got %ld"), long(qMax(got, 0))));
            if (acknowledge)
                SendNak();
            Fail(failures, true);
            continue;
        }
        trace(QStringLiteral("Got the 6"));
        const qint32 rest = qint32(declared) + 2;
        trace(platform::formatText(QStringLiteral("Need %ld more"), long(rest)));
        packet.Append(QByteArrayView(head, kHeadBytes));
        if (expected != 0 && declared != expected) {
            device_->WaitTicks(5);
            device_->FlushInput(10, 1000);
            trace(QStringLiteral("Packet len mismatch"));
        } else {
            QByteArray body(rest + 1, '\0');
            const qint32 read = device_->ComInMin(body.data(), rest, 40);
            if (read != rest)
                trace(QStringLiteral("Wrong Number Read"));
            // Only what actually came is part of the packet.
            if (read > 0)
                packet.Append(QByteArrayView(body.constData(), read));
        }
        if (device_->GetAbortFlag())
            throw -1;
        trace(QStringLiteral("Got them"));
        packet.SetChecksumFlag(true);
        if (!acknowledge)
            return;
        if (packet.IsValid(dataRequired)) {
            SendAck();
            if (!IsDuplicate(packet))
                return;
            trace(QStringLiteral("PacketExchanger - Dup Packet Received"));
            Fail(failures, false);
            continue;
        }
        trace(QStringLiteral("Invalid Packet"));
        device_->WaitTicks(1);
        device_->FlushInput(2, 0);
        SendNak();
        Fail(failures, true);
    }
}

void PacketExchanger::SendBare(char type)
{
    Packet packet(type);
    packet.Finish();
    const QByteArrayView bytes = packet.Bytes();
    device_->Send(bytes.constData(), qint32(bytes.size()));
}

void PacketExchanger::SendAck()
{
    SendBare(Packet::kAck);
    trace(QStringLiteral("Sent Ack"));
}

void PacketExchanger::SendNak()
{
    SendBare(Packet::kNak);
    trace(QStringLiteral("Sent Nak"));
}

qint16 PacketExchanger::SetLimit(qint16 limit)
{
    const qint16 previous = limit_;
    limit_ = limit;
    return previous;
}

bool PacketExchanger::IsDuplicate(const Packet& packet)
{
    const quint32 declared = packet.GetDeclaredLength();
    const quint16 checksum = packet.GetStoredChecksum();
    if (declared == lastDeclared_ && checksum == lastChecksum_)
        return true;
    lastDeclared_ = declared;
    lastChecksum_ = checksum;
    return false;
}

}  // namespace engine
