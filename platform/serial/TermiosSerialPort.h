#pragma once

#include "platform/serial/SerialPort.h"

namespace platform {

// SerialPort on a termios device: opened non-blocking with O_NOCTTY, locked with flock and
// TIOCEXCL, raw 8N1 with VMIN 0 and VTIME 0 and CLOCAL, so reads return at once and the
// carrier is watched by hungUp() rather than by the kernel.
class TermiosSerialPort final : public SerialPort {
public:
    TermiosSerialPort() = default;
    ~TermiosSerialPort() override;
    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    bool open(const QString& path, QString* error = nullptr) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    QString path() const override { return path_; }
    bool setBaudRate(qint32 rate, QString* error = nullptr) override;
    std::optional<SerialSettings> settings(QString* error = nullptr) const override;
    qint64 bytesWaiting(QString* error = nullptr) override;
    qint64 read(char* buffer, qint64 max, QString* error = nullptr) override;
    bool write(const char* data, qint64 length, int timeoutMs, QString* error = nullptr) override;
    bool discardInput(QString* error = nullptr) override;
    std::optional<ModemLines> modemLines(QString* error = nullptr) const override;
    bool setDtr(bool on, QString* error = nullptr) override;
    bool hungUp() override;

private:
    bool notOpen(QString* error) const;

    int fd_ = -1;
    QString path_;
    bool carrierSeen_ = false;
};

}  // namespace platform
