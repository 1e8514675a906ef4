#include "platform/telephony/HayesTelephony.h"

#include "platform/serial/SerialPort.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

namespace platform {

using namespace tel;

struct HayesTelephony::Call {
    enum class Phase { Hunting, Dialing, Connected, Ended };

    quint32 handle = 0;
    quint32 line = 0;
    quint32 device = 0;
    quintptr instance = 0;
    quint32 request = 0;
    QString number;
    std::shared_ptr<SerialPort> port;
    std::unique_ptr<QTimer> timer;
    Phase phase = Phase::Hunting;
    quint32 state = 0;
    int rate = 0;
    QDeadlineTimer deadline;
    QByteArray input;
};

namespace {

// The call state and disconnect mode a result code stands for, for codes that end a dial.
struct ResultCode {
    const char* text;
    quint32 state;
    quint32 mode;
};
constexpr ResultCode kResults[] = {
    {"BUSY", kStateBusy, 0},
    {"NO CARRIER", kStateDisconnected, kDisconnectNoAnswer},
    {"NO ANSWER", kStateDisconnected, kDisconnectNoAnswer},
    {"NO DIALTONE", kStateDisconnected, kDisconnectNoDialTone},
    {"NO DIAL TONE", kStateDisconnected, kDisconnectNoDialTone},
    {"ERROR", kStateDisconnected, kDisconnectBadAddress},
};

void writeCommand(SerialPort& port, const QByteArray& command)
{
    port.write(command.constData(), command.size(), 1000);
}

// `code` as a result, with `text` in `*error` when given.
qint32 failure(quint32 code, QString* error, const QString& text)
{
    if (error != nullptr)
        *error = text;
    return qint32(code);
}

qint32 noLine(quint32 device, qsizetype count, QString* error)
{
    return failure(kErrBadDeviceId, error, QStringLiteral("No line %1: the machine has %2").arg(device).arg(count));
}

qint32 lineNotOpen(quint32 line, QString* error)
{
    return failure(kErrInvalLineHandle, error, QStringLiteral("Line %1 is not open").arg(line));
}

qint32 unknownCall(quint32 call, QString* error)
{
    return failure(kErrInvalCallHandle, error, QStringLiteral("Call %1 is not known").arg(call));
}

}  // namespace

HayesTelephony::HayesTelephony(HayesTelephonyOptions options) : options_(std::move(options)) {}

HayesTelephony::~HayesTelephony()
{
    shutdown();
}

void HayesTelephony::post(const Call& call, quint32 message, quintptr p1, quintptr p2, quintptr p3)
{
    // Queued on the context object, so a message still on its way when telephony goes is
    // dropped with it; one for a call deallocated meanwhile is dropped too, as the
    // application has forgotten that call.
    const quint32 handle = call.handle;
    const quint32 device = call.device;
    const quintptr instance = call.instance;
    QMetaObject::invokeMethod(
        &context_,
        [this, handle, device, message, instance, p1, p2, p3] {
            if (initialized_ && callback_ && calls_.count(handle) != 0)
                callback_(device, message, instance, p1, p2, p3);
        },
        Qt::QueuedConnection);
}

qint32 HayesTelephony::initialize(const QString&, LineCallback callback, quint32* deviceCount)
{
    callback_ = std::move(callback);
    modems_ = listModems(options_.sysfsRoot, options_.devRoot, options_.configured);
    initialized_ = true;
    if (deviceCount != nullptr)
        *deviceCount = quint32(modems_.size());
    return kOk;
}

qint32 HayesTelephony::checkDevice(quint32 device, QString* error) const
{
    if (!initialized_)
        return failure(kErrUninitialized, error,
                       QStringLiteral("No line %1: telephony is not initialized").arg(device));
    if (device >= quint32(modems_.size()))
        return noLine(device, modems_.size(), error);
    return kOk;
}

qint32 HayesTelephony::negotiateApiVersion(quint32 device, quint32 low, quint32 high, quint32* version, QString* error)
{
    if (const qint32 result = checkDevice(device, error); result != kOk)
        return result;
    if (low > kApiVersion || high < 0x10000) {
        return failure(kErrOperationFailed, error,
                       QStringLiteral("No telephony version from 0x%1 to 0x%2 on line %3: it speaks 0x%4 to 0x%5")
                           .arg(low, 0, 16)
                           .arg(high, 0, 16)
                           .arg(device)
                           .arg(0x10000, 0, 16)
                           .arg(kApiVersion, 0, 16));
    }
    *version = qMin(high, kApiVersion);
    return kOk;
}

qint32 HayesTelephony::getDevCaps(quint32 device, quint32, LineCaps* caps, QString* error)
{
    if (const qint32 result = checkDevice(device, error); result != kOk)
        return result;
    caps->lineName = modems_[qsizetype(device)].name;
    caps->portPath = modems_[qsizetype(device)].path;
    caps->mediaModes = kMediaDataModem;
    caps->bearerModes = kBearerModeVoice | kBearerModeData;
    return kOk;
}

qint32 HayesTelephony::queryLineRates(quint32 device, LineCaps* caps, QString* error)
{
    if (const qint32 result = checkDevice(device, error); result != kOk)
        return result;
    const QString& path = modems_[qsizetype(device)].path;
    const std::unique_ptr<SerialPort> port = SerialPort::create();
    // A port in use by a call, or by another program, is not disturbed.
    if (!port->open(path, error))
        return qint32(kErrResourceUnavail);
    for (const qint32 rate : options_.rates) {
        port->setBaudRate(rate);
        port->discardInput();
        writeCommand(*port, "AT+MS?\r");
        QByteArray answer;
        const QDeadlineTimer deadline(options_.answerMs);
        while (!deadline.hasExpired() && !answer.contains("OK\r") && !answer.contains("ERROR")) {
            char buffer[256];
            const qint64 n = port->read(buffer, sizeof buffer, error);
            if (n < 0)
                return qint32(kErrOperationFailed);
            if (n == 0)
                QThread::msleep(quint32(options_.pollMs));
            else if (answer.size() < 4096)
                answer.append(buffer, n);
        }
        if (answer.contains("OK\r") || answer.contains("ERROR")) {
            caps->bearerModes = kBearerModeVoice | kBearerModeData;
            caps->maxRate = modulationMaxRate(answer);
            if (caps->maxRate != 0)
                return kOk;
            return failure(
                kErrOperationFailed, error,
                QStringLiteral("Modem %1 answered AT+MS? at %2 bit/s with no rate").arg(path, QString::number(rate)));
        }
    }
    QStringList rates;
    for (const qint32 rate : options_.rates)
        rates << QString::number(rate);
    return failure(kErrResourceUnavail, error,
                   QStringLiteral("Modem %1 did not answer AT+MS? within %2 ms at %3 bit/s")
                       .arg(path, QString::number(options_.answerMs), rates.join(QStringLiteral(", "))));
}

qint32 HayesTelephony::openLine(quint32 device, quint32, quintptr instance, quint32 mediaModes, quint32* line,
                                QString* error)
{
    if (!initialized_)
        return failure(kErrUninitialized, error, QStringLiteral("No line to open: telephony is not initialized"));
    if ((mediaModes & kMediaDataModem) == 0) {
        return failure(kErrOperationFailed, error,
                       QStringLiteral("No line for media modes 0x%1: the lines carry data-modem calls only")
                           .arg(mediaModes, 0, 16));
    }
    if (device == kLineMapper) {
        if (modems_.isEmpty())
            return failure(kErrNoDevice, error, QStringLiteral("No line to open: the machine has no modem"));
        device = 0;
    }
    if (device >= quint32(modems_.size()))
        return noLine(device, modems_.size(), error);
    const quint32 handle = nextHandle_++;
    lines_[handle] = Line{device, instance};
    *line = handle;
    return kOk;
}

qint32 HayesTelephony::lineDeviceId(quint32 line, quint32* device, QString* error)
{
    const auto it = lines_.find(line);
    if (it == lines_.end())
        return lineNotOpen(line, error);
    *device = it->second.device;
    return kOk;
}

qint32 HayesTelephony::translateAddress(quint32 device, quint32, const QString& number, QString* dialable,
                                        QString* error)
{
    if (device >= quint32(modems_.size()))
        return noLine(device, modems_.size(), error);
    return dialableNumber(number, options_.internationalPrefix, dialable, error) ? kOk : qint32(kErrInvalAddress);
}

qint32 HayesTelephony::makeCall(quint32 line, quint32* call, const QString& number, QString* error)
{
    const auto it = lines_.find(line);
    if (it == lines_.end())
        return lineNotOpen(line, error);
    // A number that did not go through translateAddress is dialled only when it is dialable
    // as it stands: a "+" would otherwise reach the modem and be dropped or refused there.
    if (number.contains(u'+')) {
        return failure(kErrInvalAddress, error,
                       QStringLiteral("Unable to dial %1: its \"+\" was not translated to a prefix").arg(number));
    }
    QString dialable;
    dialableNumber(number, options_.internationalPrefix, &dialable);
    for (const auto& [handle, c] : calls_) {
        if (c->line == line)
            return failure(kErrCallUnavail, error, QStringLiteral("Line %1 already has call %2").arg(line).arg(handle));
    }
    auto c = std::make_unique<Call>();
    c->line = line;
    c->device = it->second.device;
    c->instance = it->second.instance;
    c->request = nextRequest_++;
    c->number = dialable;
    std::shared_ptr<SerialPort> port = SerialPort::create();
    if (!port->open(modems_[qsizetype(c->device)].path, error))
        return qint32(kErrResourceUnavail);
    c->port = std::move(port);
    const quint32 handle = nextHandle_++;
    *call = handle;
    c->handle = handle;
    c->timer = std::make_unique<QTimer>();
    QObject::connect(c->timer.get(), &QTimer::timeout, &context_, [this, handle] { step(handle); });
    c->timer->start(options_.pollMs);
    c->deadline = QDeadlineTimer(0);
    c->rate = -1;
    calls_[handle] = std::move(c);
    return qint32(calls_[handle]->request);
}

void HayesTelephony::setState(Call& call, quint32 state, quint32 detail)
{
    call.state = state;
    post(call, kMsgCallState, state, detail, 0);
}

void HayesTelephony::step(quint32 handle)
{
    const auto it = calls_.find(handle);
    if (it == calls_.end())
        return;
    Call& call = *it->second;
    SerialPort& port = *call.port;
    if (call.phase == Call::Phase::Connected) {
        if (port.hungUp()) {
            call.phase = Call::Phase::Ended;
            call.timer->stop();
            setState(call, kStateDisconnected, kDisconnectNormal);
        }
        return;
    }
    if (call.phase == Call::Phase::Hunting) {
        char buffer[256];
        const qint64 n = port.read(buffer, sizeof buffer);
        if (n > 0)
            call.input.append(buffer, n);
        if (call.input.contains("OK")) {
            call.input.clear();
            call.phase = Call::Phase::Dialing;
            setState(call, kStateDialing);
            writeCommand(port, "ATDT" + call.number.toLatin1() + "\r");
            post(call, kMsgReply, call.request, kOk, 0);
            return;
        }
        if (!call.deadline.hasExpired() && n >= 0)
            return;
        if (++call.rate >= options_.rates.size() || n < 0) {
            // No answer at any rate: there is no modem on this line.
            call.phase = Call::Phase::Ended;
            call.timer->stop();
            post(call, kMsgReply, call.request, kErrResourceUnavail, 0);
            return;
        }
        port.setBaudRate(options_.rates[call.rate]);
        port.discardInput();
        call.input.clear();
        writeCommand(port, "AT\r");
        call.deadline = QDeadlineTimer(options_.answerMs);
        return;
    }
    if (call.phase != Call::Phase::Dialing)
        return;
    // One byte at a time: what follows the CONNECT line is the far end's data, and it must
    // stay queued for whoever takes the call's port.
    for (;;) {
        char byte = 0;
        const qint64 n = port.read(&byte, 1);
        if (n < 0) {
            call.phase = Call::Phase::Ended;
            call.timer->stop();
            setState(call, kStateDisconnected, kDisconnectUnavail);
            return;
        }
        if (n == 0)
            return;
        if (byte != '\n') {
            call.input.append(byte);
            continue;
        }
        const QByteArray text = call.input.trimmed();
        call.input.clear();
        if (text.startsWith("CONNECT")) {
            call.phase = Call::Phase::Connected;
            setState(call, kStateConnected);
            return;
        }
        for (const ResultCode& r : kResults) {
            if (text == r.text) {
                call.phase = Call::Phase::Ended;
                call.timer->stop();
                setState(call, r.state, r.mode);
                return;
            }
        }
    }
}

void HayesTelephony::hangUp(Call& call)
{
    SerialPort& port = *call.port;
    if (!port.isOpen() || port.hungUp())
        return;
    if (call.phase == Call::Phase::Connected && port.setDtr(false)) {
        QThread::msleep(options_.dtrDropMs);
        port.setDtr(true);
        return;
    }
    if (call.phase == Call::Phase::Connected) {
        QThread::msleep(options_.guardMs);
        writeCommand(port, "+++");
        QThread::msleep(options_.guardMs);
    } else {
        // Any key stops a modem that is still dialling.
        writeCommand(port, "\r");
    }
    writeCommand(port, "ATH0\r");
}

void HayesTelephony::stopCall(Call& call)
{
    call.timer->stop();
    if (call.phase == Call::Phase::Dialing || call.phase == Call::Phase::Connected)
        hangUp(call);
}

qint32 HayesTelephony::getCallState(quint32 call, quint32* state, QString* error)
{
    const auto it = calls_.find(call);
    if (it == calls_.end())
        return unknownCall(call, error);
    *state = it->second->state;
    return kOk;
}

qint32 HayesTelephony::drop(quint32 call, QString* error)
{
    const auto it = calls_.find(call);
    if (it == calls_.end())
        return unknownCall(call, error);
    Call& c = *it->second;
    stopCall(c);
    c.phase = Call::Phase::Ended;
    if (c.state != kStateIdle)
        setState(c, kStateIdle);
    return kOk;
}

qint32 HayesTelephony::deallocateCall(quint32 call, QString* error)
{
    const auto it = calls_.find(call);
    if (it == calls_.end())
        return unknownCall(call, error);
    Call& c = *it->second;
    stopCall(c);
    // The call owns its port; whoever borrowed it sees it closed.
    c.port->close();
    calls_.erase(it);
    return kOk;
}

std::shared_ptr<SerialPort> HayesTelephony::callPort(quint32 call)
{
    const auto it = calls_.find(call);
    if (it == calls_.end() || it->second->phase != Call::Phase::Connected)
        return nullptr;
    return it->second->port;
}

qint32 HayesTelephony::closeLine(quint32 line, QString* error)
{
    if (lines_.erase(line) == 0)
        return lineNotOpen(line, error);
    for (auto it = calls_.begin(); it != calls_.end();) {
        if (it->second->line == line) {
            const quint32 handle = it->first;
            ++it;
            deallocateCall(handle);
        } else {
            ++it;
        }
    }
    return kOk;
}

qint32 HayesTelephony::shutdown()
{
    while (!calls_.empty())
        deallocateCall(calls_.begin()->first);
    lines_.clear();
    initialized_ = false;
    callback_ = nullptr;
    return kOk;
}

}  // namespace platform
