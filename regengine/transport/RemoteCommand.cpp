#include "regengine/transport/RemoteCommand.h"

#include "regengine/transport/Packet.h"

#include <cstring>

namespace engine {

const RemoteCommandInfo kRemotePageCommands[kRemoteCommandCount] = {
    {"SETF", 0}, {"SETP", 0}, {"HIDF", 0}, {"SHWA", 1}, {"SHOF", 0}, {"ADED", 5}, {"ADHP", 5}, {"ADCT", 6},
    {"STCP", 1}, {"NSCR", 0}, {"PSCR", 0}, {"ADJF", 4}, {"GSNM", 0}, {"GOTO", 1}, {"TXTL", 5}, {"TXTC", 5},
    {"TXTR", 5}, {"FNTN", 0}, {"FNTS", 0}, {"FNTY", 0}, {"PAGE", 0}, {"SETB", 0}, {"TCMD", 0},
};

namespace {

quint32 bigEndian32(const char* p)
{
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 | quint8(p[3]);
}

}  // namespace

qint32 LookupRemoteCommand(const char* name)
{
    for (int i = 0; i < kRemoteCommandCount; ++i) {
        if (std::memcmp(name, kRemotePageCommands[i].name, 4) == 0)
            return i;
    }
    return kUnknownCommand;
}

bool ReadRecord(const Packet& packet, quint32& position, RemoteRecord& out)
{
    const QByteArrayView bytes = packet.Bytes();
    const quint32 size = quint32(bytes.size());
    if (position < quint32(Packet::kHeaderSize))
        position = Packet::kHeaderSize;
    // The payload ends where the checksum begins.
    const quint32 end = size >= quint32(Packet::kHeaderSize) + 2 ? size - 2 : 0;
    if (position >= end || end - position < 8)
        return false;
    const char* record = bytes.constData() + position;
    const quint32 length = bigEndian32(record + 4);
    if (length > end - position - 8)
        return false;
    out = RemoteRecord();
    std::memcpy(out.name, record, 4);
    out.length = length;
    out.command = LookupRemoteCommand(record);
    if (out.command != kUnknownCommand) {
        const int k = kRemotePageCommands[out.command].argCount;
        for (int i = 0; i < k && 12 + 4 * quint32(i) + 4 <= 8 + length; ++i) {
            out.args[i] = bigEndian32(record + 12 + 4 * i);
            out.argCount = i + 1;
        }
    }
    out.bytes = QByteArrayView(record, qsizetype(8 + length));
    position += 8 + length;
    return true;
}

bool PacketReadGuard(const Packet&, bool)
{
    return true;
}

}  // namespace engine
