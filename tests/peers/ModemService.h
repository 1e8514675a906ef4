#pragma once

// The registration service's side of a modem registration, played on the fake modem's
// thread: the X.25 network's logon dialogue when asked, the packet exchange (the opening
// NAK, the engine's data packets acknowledged, one reply packet of remote commands), and
// the ways a call goes wrong. Each test scripts its own.

#include "tests/peers/FakeModem.h"

#include "platform/telephony/HayesTelephony.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace testpeers {

// Telephony over that one modem alone, with the fake's short answer and guard times.
platform::HayesTelephonyOptions telephonyFor(const FakeModem& modem);

// A packet as the service frames it, independent of the engine's Packet.
QByteArray servicePacket(quint8 sequence, char type, const QByteArray& payload = {});
extern const QByteArray kServiceAck;
extern const QByteArray kServiceNak;
// A remote command record: name, 32-bit big-endian length, then `data`.
QByteArray remoteRecord(const char* name, const QByteArray& data = {});
// The bytes of every block of a modem dump, read back from its hexadecimal columns.
QByteArray dumpedBytes(const QString& dump);
// The arguments the window reads: four bytes left alone, then UTF-16 low byte first.
QByteArray utf16Arg(const QString& text);
// SETF, HIDF, SHOF: the code as four UTF-16 units, then (SETF) the text.
QByteArray codeArg(const char* code, const QString& text = {});

// The network's prompts, matching the texts of table 803 in the test's resources.
struct X25Dialogue {
    QByteArray dots = "...\r";
    QByteArray logonPrompt = "NETWORK LOGON:";
    QByteArray passwordPrompt = "PASSWORD:";
    QByteArray welcome = "WELCOME";
    QByteArray call = "C SERVICE\r";
    QByteArray connected = "COM";
    // The network echoes the user name and the password, as a terminal network does.
    bool echoes = true;
    // False: the network never says the call is through.
    bool connects = true;
};

struct ServiceScript {
    std::optional<X25Dialogue> x25;
    // The engine's data packets to take before replying.
    int packetsIn = 3;
    // The payload of the reply (remote command records).
    QByteArray reply;
    // Hang up after taking this many packets (-1: never).
    int hangUpAfter = -1;
    // Say nothing at all once connected.
    bool silent = false;
};

// What the service saw, filled on the modem's thread.
struct ServiceLog {
    std::mutex mutex;
    // Every byte the engine sent once the call was up.
    QByteArray wire;
    QList<QByteArray> packets;
    std::atomic<bool> done{false};
    QByteArray Wire()
    {
        std::lock_guard lock(mutex);
        return wire;
    }
    QList<QByteArray> Packets()
    {
        std::lock_guard lock(mutex);
        return packets;
    }
};

std::function<void(FakeModem::Link&)> registrationService(ServiceScript script, std::shared_ptr<ServiceLog> log);

}  // namespace testpeers
