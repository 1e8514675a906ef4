#pragma once

#include "regengine/transport/CommDevice.h"

#include <memory>

namespace platform {
class SerialPort;
}

namespace engine {

// A CommDevice on a serial port. The port is either opened here (and closed here) or lent
// by a telephony call, whose owner closes it: the device then only lets go of it, so the
// line is closed once, by one owner.
class SerialDevice : public CommDevice {
public:
    // The rates of SetBaudIndex, by index.
    static constexpr qint32 kBaudRates[6] = {1200, 2400, 4800, 9600, 19200, 38400};
    // Write time-outs: a constant and a per-byte part, in milliseconds.
    static constexpr int kWriteConstantMs = 100;
    static constexpr int kWriteMultiplierMs = 15;

    explicit SerialDevice(const QString& portName = {});
    ~SerialDevice() override;

    int Open() override;
    int Close() override;
    int SendPtr(const char* data, qint32 length) override;
    int Read(char* buffer, qint32 wanted, qint32* count) override;
    qint32 BytesWaiting() override;
    int ClearError() override;
    // Five lines of the port's modem lines and settings.
    virtual void DumpStatus(Displayer* displayer);
    // Checks the port answers and sets its write time-outs: 0 or kFailed.
    virtual int SetTimeouts();
    // Index 0 to 5 of kBaudRates; nothing without a port.
    int SetBaudIndex(int index);

    // Takes a port opened elsewhere; `owned` says whether this device closes it.
    void AttachPort(std::shared_ptr<platform::SerialPort> port, bool owned);
    // Lets go of the port, closing it only when this device opened it.
    void ReleasePort();
    platform::SerialPort* GetPort() const { return port_.get(); }
    bool HasPort() const { return port_ != nullptr; }

private:
    // Lets waiting events through; a cancel there sets the abort flag.
    void Pump();
    // Traces the serial layer's message of a failure and, in echo mode, shows it.
    void ShowPortError(const QString& error);

    std::shared_ptr<platform::SerialPort> port_;
    bool ownsPort_ = false;
    QString openError_;  // why the last Open found no port
    int writeConstantMs_ = kWriteConstantMs;
    int writeMultiplierMs_ = kWriteMultiplierMs;
};

}  // namespace engine
