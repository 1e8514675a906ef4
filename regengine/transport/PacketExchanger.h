#pragma once

#include <QtGlobal>

namespace engine {

class CommDevice;
class Packet;

// Exchanges packets over a connected device: the start handshake, data packets sent until
// acknowledged, packets received, checked, acknowledged and told apart from resends. Every
// failure it cannot recover from throws the integer -1.
class PacketExchanger {
public:
    static constexpr int kMaxFailures = 6;

    // `device` is not owned; the initiator opens the exchange.
    PacketExchanger(qint32 initiator, CommDevice* device);
    PacketExchanger(const PacketExchanger&) = delete;
    PacketExchanger& operator=(const PacketExchanger&) = delete;
    virtual ~PacketExchanger();

    // The initiator sends the opening negative acknowledgement; the other side waits for it.
    virtual void Start();
    // Sends until the far end acknowledges; 'Y'. A packet longer than the far end takes
    // (Packet::kMaxDeclaredLength) is not sent: it throws at once.
    virtual char SendPacket(const Packet& packet);
    // Reads one packet into `packet`. Acknowledging, only a valid packet that is no resend
    // comes back; otherwise the caller judges what came. `expected` (0: any) is the
    // declared length to accept.
    virtual void ReceivePacket(Packet& packet, bool acknowledge, bool dataRequired, quint32 expected);
    virtual void SendAck();
    virtual void SendNak();
    // 'Y' for a valid acknowledgement, else 'N'.
    virtual char WaitReply();
    // Records the limit, which the exchange does not consult; returns the previous one.
    virtual qint16 SetLimit(qint16 limit);
    // True when declared length and checksum equal the last packet's; else remembers them.
    virtual bool IsDuplicate(const Packet& packet);

private:
    void SendBare(char type);
    // Counts a failure; throws at the last one or when the device was aborted.
    void Fail(int& failures, bool checkAbort);

    qint32 initiator_;
    CommDevice* device_;
    [[maybe_unused]] qint16 word_ = 1;
    quint16 lastChecksum_ = 0;
    quint32 lastDeclared_ = 0;
    qint16 limit_ = 100;
};

}  // namespace engine
