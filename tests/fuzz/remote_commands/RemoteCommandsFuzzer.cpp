// Any bytes as the payload of the service's reply: its remote command records are read as
// the window reads them before carrying them out. Nothing may read past a record, and a
// text may hold no more characters than its record has bytes for.
#include "launcher/registration/RemoteCommands.h"

#include "regengine/transport/Packet.h"
#include "regengine/transport/RemoteCommand.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

engine::Packet framed(QByteArrayView payload)
{
    QByteArray bytes("\x01\x00", 2);
    const quint32 declared = quint32(payload.size()) + 2;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char(declared >> shift));
    bytes.append(char(1));
    bytes.append('D');
    bytes.append(payload);
    quint16 sum = 0;
    for (qsizetype i = 6; i < bytes.size(); ++i)
        sum = quint16(sum + quint8(bytes[i]));
    bytes.append(char(sum >> 8));
    bytes.append(char(sum & 0xFF));
    engine::Packet packet;
    packet.Clear();
    packet.Append(bytes);
    packet.SetChecksumFlag(true);
    return packet;
}

void readAll(const engine::Packet& packet)
{
    quint32 position = 0;
    engine::RemoteRecord record;
    while (engine::ReadRecord(packet, position, record)) {
        launcher::RemoteArguments args;
        if (!launcher::ReadRemoteArguments(record, args))
            continue;
        if (args.text.size() * 2 > record.bytes.size()) {
            std::fprintf(stderr, "a text longer than its record\n");
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (size > 0x10000)
        return 0;
    readAll(framed(bytes));
    return 0;
}
