#include "regengine/transport/SerialDevice.h"

#include "regengine/core/Displayer.h"
#include "regengine/core/ModalWait.h"

#include "platform/serial/SerialPort.h"
#include "platform/text/Format.h"

namespace engine {

SerialDevice::SerialDevice(const QString& portName) : CommDevice(portName) {}

SerialDevice::~SerialDevice()
{
    Close();
}

void SerialDevice::AttachPort(std::shared_ptr<platform::SerialPort> port, bool owned)
{
    ReleasePort();
    port_ = std::move(port);
    ownsPort_ = port_ != nullptr && owned;
    openError_.clear();
}

void SerialDevice::ReleasePort()
{
    if (port_ != nullptr && ownsPort_)
        port_->close();
    port_.reset();
    ownsPort_ = false;
}

int SerialDevice::Open()
{
    const QString name = GetPortName().isEmpty() ? QStringLiteral("COM1:") : GetPortName();
    std::shared_ptr<platform::SerialPort> port = platform::SerialPort::create();
    QString error;
    if (port->open(name, &error)) {
        AttachPort(std::move(port), true);
    } else {
        ReleasePort();
        openError_ = error;
    }
    return SetTimeouts();
}

void SerialDevice::ShowPortError(const QString& error)
{
    ShowTrace(error);
    Displayer* status = GetStatusDisplayer();
    if (GetEchoMode() != 0 && status != nullptr)
        status->WriteLine(error, true);
}

int SerialDevice::SetTimeouts()
{
    Displayer* status = GetStatusDisplayer();
    const bool echo = GetEchoMode() != 0;
    if (port_ == nullptr) {
        // A port lent by a call that has none comes with no message of the serial layer.
        if (!openError_.isEmpty())
            ShowPortError(openError_);
        else if (echo && status != nullptr)
            status->ShowLastError();
        return kFailed;
    }
    if (echo && status != nullptr)
        DumpStatus(status);
    QString error;
    if (!port_->settings(&error)) {
        Close();
        ShowPortError(error);
        return kFailed;
    }
    // Reads return at once with what is queued; a write may take the constant plus its
    // per-byte part.
    writeConstantMs_ = kWriteConstantMs;
    writeMultiplierMs_ = kWriteMultiplierMs;
    return 0;
}

int SerialDevice::SetBaudIndex(int index)
{
    if (port_ == nullptr || index < 0 || index >= 6)
        return 0;
    QString error;
    if (!port_->setBaudRate(kBaudRates[index], &error))
        ShowTrace(error);
    if (GetTraceDisplayer() != nullptr)
        ShowTrace(QStringLiteral("Set Baud to ") + QString::number(index));
    return 0;
}

void SerialDevice::Pump()
{
    int cancelled = 0;
    PumpWhileBusy(&cancelled);
    if (cancelled != 0)
        SetAbortFlag();
}

int SerialDevice::SendPtr(const char* data, qint32 length)
{
    int result = 0;
    if (port_ == nullptr) {
        ShowTrace(QStringLiteral("About to SendPtr bad handle"));
    } else {
        ShowTrace(QStringLiteral("About to SendPtr"));
        const int timeout = writeConstantMs_ + writeMultiplierMs_ * qMax(length, 0);
        // Every byte goes, or the send failed: a partial send is never success.
        QString error;
        if (length > 0 && !port_->write(data, length, timeout, &error)) {
            if (!port_->isOpen())
                ShowTrace(QStringLiteral("Bad Handle @ SerialDevice::SendPtr"));
            else
                ShowTrace(error);
            result = kFailed;
        } else {
            DumpBlock("Sent", data, length);
        }
    }
    Pump();
    return GetAbortFlag() ? kAborted : result;
}

int SerialDevice::Read(char* buffer, qint32 wanted, qint32* count)
{
    *count = 0;
    const qint32 waiting = BytesWaiting();
    if (waiting > 0 && wanted > 0 && port_ != nullptr) {
        const qint32 n = qMin(wanted, waiting);
        ShowTrace(platform::formatText(QStringLiteral("\nAbout to Read %ld   @ %ld"), long(n), long(ElapsedSeconds())));
        QString error;
        const qint64 got = port_->read(buffer, n, &error);
        ShowTrace(platform::formatText(QStringLiteral("Finished Reading %ld   @ %ld"), long(qMax<qint64>(got, 0)),
                                       long(ElapsedSeconds())));
        if (got < 0) {
            ShowTrace(error);
            return kFailed;
        }
        *count = qint32(got);
        // Only the bytes that came: the rest of the buffer holds nothing of the line's.
        if (got > 0)
            DumpBlock("Rcvd", buffer, *count);
        return 0;
    }
    // Nothing queued: a line that has hung up fails here rather than looking like silence.
    if (port_ != nullptr && port_->hungUp())
        return kFailed;
    Pump();
    return 0;
}

qint32 SerialDevice::BytesWaiting()
{
    if (port_ == nullptr)
        return 0;
    if (!port_->isOpen()) {
        // The owner of a lent port has closed it.
        port_.reset();
        ownsPort_ = false;
        return 0;
    }
    const qint64 n = port_->bytesWaiting();
    return n > 0 ? qint32(qMin<qint64>(n, 0x7FFFFFFF)) : 0;
}

int SerialDevice::ClearError()
{
    ClearAbort();
    return 0;
}

int SerialDevice::Close()
{
    ReleasePort();
    ClearAbort();
    return 0;
}

void SerialDevice::DumpStatus(Displayer* displayer)
{
    if (displayer == nullptr || port_ == nullptr)
        return;
    const platform::ModemLines lines = port_->modemLines().value_or(platform::ModemLines{});
    const platform::SerialSettings s = port_->settings().value_or(platform::SerialSettings{});
    displayer->WriteLine(platform::formatText(QStringLiteral("CTS %d  DSR %d   Ring %d   RcvLine %d"), int(lines.cts),
                                              int(lines.dsr), int(lines.ring), int(lines.carrier)));
    displayer->WriteLine(platform::formatText(QStringLiteral("Baud  %ld "), long(s.baudRate)));
    displayer->WriteLine(platform::formatText(QStringLiteral("Parity  %d   OutCTS %d   OutDSR %d  "),
                                              int(s.parityCheck), int(s.ctsFlow), int(s.dsrFlow)));
    displayer->WriteLine(
        platform::formatText(QStringLiteral("DTR ctrl %d   sensitivity %d"), s.dtrControl, int(s.dsrSensitivity)));
    displayer->WriteLine(platform::formatText(QStringLiteral("XOnOff Out %d  XonOff In %d   RTS %d"), int(s.xonOut),
                                              int(s.xonIn), s.rtsControl));
}

}  // namespace engine
