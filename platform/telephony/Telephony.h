#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace platform {

class SerialPort;

// The telephony line functions the engine's line manager was written against, with the
// numbers it knows: results, messages, call states, disconnect modes and media modes.
namespace tel {
constexpr qint32 kOk = 0;
constexpr quint32 kErrBadDeviceId = 0x80000002;
constexpr quint32 kErrCallUnavail = 0x80000005;
constexpr quint32 kErrInvalAddress = 0x80000007;
constexpr quint32 kErrInvalCallHandle = 0x80000018;
constexpr quint32 kErrInvalLineHandle = 0x8000002B;
constexpr quint32 kErrNoDevice = 0x80000042;
constexpr quint32 kErrOperationFailed = 0x80000048;
constexpr quint32 kErrResourceUnavail = 0x8000004B;
constexpr quint32 kErrAddressBlocked = 0x80000053;
constexpr quint32 kErrUninitialized = 0x80000056;

constexpr quint32 kMsgCallState = 2;
constexpr quint32 kMsgClose = 3;
constexpr quint32 kMsgLineDevState = 8;
constexpr quint32 kMsgReply = 12;
constexpr quint32 kMsgCreate = 19;

constexpr quint32 kStateIdle = 0x1;
constexpr quint32 kStateDialTone = 0x8;
constexpr quint32 kStateDialing = 0x10;
constexpr quint32 kStateRingBack = 0x20;
constexpr quint32 kStateBusy = 0x40;
constexpr quint32 kStateSpecialInfo = 0x80;
constexpr quint32 kStateConnected = 0x100;
constexpr quint32 kStateProceeding = 0x200;
constexpr quint32 kStateDisconnected = 0x4000;

constexpr quint32 kDisconnectNormal = 0x1;
constexpr quint32 kDisconnectUnknown = 0x2;
constexpr quint32 kDisconnectNoAnswer = 0x40;
constexpr quint32 kDisconnectBadAddress = 0x80;
constexpr quint32 kDisconnectUnavail = 0x800;
constexpr quint32 kDisconnectNoDialTone = 0x1000;

constexpr quint32 kMediaDataModem = 0x10;

constexpr quint32 kBearerModeVoice = 0x1;
constexpr quint32 kBearerModeMultiUse = 0x4;
constexpr quint32 kBearerModeData = 0x8;
// Any line that can place the call.
constexpr quint32 kLineMapper = 0xFFFFFFFF;
constexpr quint32 kApiVersion = 0x10004;
}  // namespace tel

// What a line is.
struct LineCaps {
    QString lineName;
    QString portPath;
    quint32 mediaModes = 0;
    quint32 bearerModes = 0;
    // The fastest the line carries data, in bits per second; 0 until the line is asked.
    quint32 maxRate = 0;
};

// The fastest receive rate in a modem's answer to "AT+MS?" ("+MS: V90,1,300,56000,..."):
// the maximum receive rate it states, else the fastest rate of the modulation it names;
// 0 when the answer holds neither.
quint32 modulationMaxRate(const QByteArray& answer);

// The number as a modem dials it: digits, '*', '#', the pause ',' and the letters T, P and
// W; blanks, dashes, parentheses and other marks are dropped. The "+" of an international
// number ("+44 20 7946 0000", also after an outside-line prefix: "9,+44...") becomes
// `internationalPrefix` ("00" when empty). False, with the reason, for a number with more
// than one "+", so no "+" is ever dropped unseen.
bool dialableNumber(const QString& number, const QString& internationalPrefix, QString* dialable,
                    QString* error = nullptr);

// Telephony messages reach the application through this, on its main thread, always
// from the event loop and never from inside the call that caused them.
using LineCallback =
    std::function<void(quint32 device, quint32 message, quintptr instance, quintptr p1, quintptr p2, quintptr p3)>;

// The line manager's view of telephony: lines listed, opened and closed, data calls made,
// followed and dropped, and the connected call's serial port handed out. Results are
// tel::kOk or a tel::kErr* value, kept as numbers because the line manager acts on each; a
// call request returns a positive request id, answered later by a kMsgReply message. Every
// result but kOk (and a request id) comes with a sentence in `*error`, when given, saying
// what failed, on what and why; what a kMsgReply or a call state reports later has no words.
class Telephony {
public:
    virtual ~Telephony();

    // Lists the lines; an empty list is no failure.
    virtual qint32 initialize(const QString& appName, LineCallback callback, quint32* deviceCount) = 0;
    virtual qint32 negotiateApiVersion(quint32 device, quint32 low, quint32 high, quint32* version,
                                       QString* error = nullptr) = 0;
    virtual qint32 getDevCaps(quint32 device, quint32 version, LineCaps* caps, QString* error = nullptr) = 0;
    // Asks the line itself for its rates: fills the caps' bearer modes and maximum rate.
    // It talks to the device, so it may take a moment; lines that cannot be asked fail.
    virtual qint32 queryLineRates(quint32 device, LineCaps* caps, QString* error = nullptr);
    // `device` may be tel::kLineMapper.
    virtual qint32 openLine(quint32 device, quint32 version, quintptr instance, quint32 mediaModes, quint32* line,
                            QString* error = nullptr) = 0;
    // The device a line was opened on.
    virtual qint32 lineDeviceId(quint32 line, quint32* device, QString* error = nullptr) = 0;
    // The number as the modem dials it (dialableNumber with the dialling location's
    // international prefix); kErrInvalAddress for a number it cannot dial.
    virtual qint32 translateAddress(quint32 device, quint32 version, const QString& number, QString* dialable,
                                    QString* error = nullptr) = 0;
    virtual qint32 makeCall(quint32 line, quint32* call, const QString& number, QString* error = nullptr) = 0;
    virtual qint32 getCallState(quint32 call, quint32* state, QString* error = nullptr) = 0;
    // Hangs the call up; its state becomes idle.
    virtual qint32 drop(quint32 call, QString* error = nullptr) = 0;
    // Forgets the call and closes its port.
    virtual qint32 deallocateCall(quint32 call, QString* error = nullptr) = 0;
    // The connected call's port, owned by the call: users must not close it. Null when
    // there is no such connected call.
    virtual std::shared_ptr<SerialPort> callPort(quint32 call) = 0;
    virtual qint32 closeLine(quint32 line, QString* error = nullptr) = 0;
    // Ends every call and closes every line; it always succeeds.
    virtual qint32 shutdown() = 0;
};

// The machine's telephony: the modems of /sys/class/tty and of OVEX_MODEMS (device paths
// separated by ':'), dialled with Hayes commands.
std::unique_ptr<Telephony> createSystemTelephony();

}  // namespace platform
