#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace engine {

class Packet;

// A remote page command as it travels in a data packet: a four-character name, a 32-bit
// big-endian length of what follows the first 8 bytes, 4 bytes left as they are, then the
// command's 32-bit big-endian arguments.
struct RemoteRecord {
    char name[4] = {};
    quint32 length = 0;
    // The number of the name in the command table, or kUnknownCommand.
    qint32 command = 0;
    // The arguments in host order; those the record is too short for stay 0.
    quint32 args[6] = {};
    int argCount = 0;
    // The record's bytes as received, its 8 leading bytes included.
    QByteArrayView bytes;
};

struct RemoteCommandInfo {
    const char* name;
    int argCount;
};
constexpr int kRemoteCommandCount = 23;
extern const RemoteCommandInfo kRemotePageCommands[kRemoteCommandCount];
constexpr qint32 kUnknownCommand = 9999;

// The number of the command whose name is the first four characters of `name`, or
// kUnknownCommand.
qint32 LookupRemoteCommand(const char* name);

// The record at `position` (below 8 means 8, the first record) of the packet's payload,
// which ends before the checksum; `position` moves past it. False at the payload's end and
// for a record whose length would reach past it.
bool ReadRecord(const Packet& packet, quint32& position, RemoteRecord& out);

// Called before and after the records are read; always succeeds.
bool PacketReadGuard(const Packet& packet, bool flag);

}  // namespace engine
