#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace platform {

// The modem status lines of a port that has them.
struct ModemLines {
    bool cts = false;
    bool dsr = false;
    bool ring = false;
    bool carrier = false;
    bool dtr = false;
    bool rts = false;
};

// The line settings a status listing shows.
struct SerialSettings {
    qint32 baudRate = 0;
    bool parityCheck = false;
    bool ctsFlow = false;  // output waits for CTS
    bool dsrFlow = false;  // output waits for DSR (never on termios)
    int dtrControl = 0;    // 1: DTR held up while open
    bool dsrSensitivity = false;
    bool xonOut = false;
    bool xonIn = false;
    int rtsControl = 0;  // 1: RTS held up, 2: RTS handshake
};

// The device of a port name: "COMn" or "COMn:" (any case, n from 1) is the n-th
// built-in serial line under `devRoot`, ttyS<n-1>; any other name is a path as it is.
QString serialDevicePath(const QString& name, const QString& devRoot = QStringLiteral("/dev"));

// A serial line as the modem devices use it: reads never block, a write either sends every
// byte within its time-out or fails, and a hang-up of the far end is reported instead of
// looking like silence. An operation that fails says why in `*error` when it is given one.
class SerialPort {
public:
    virtual ~SerialPort();

    // Opens `path` for reading and writing, for this process alone, as a raw 8N1 line that
    // ignores the modem lines for opening. A port named the DOS way ("COM1:") is the serial
    // line of that number (serialDevicePath).
    virtual bool open(const QString& path, QString* error = nullptr) = 0;
    // Closes the line; closing a closed port does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString path() const = 0;

    // One of the standard rates (1200 to 115200); false for another or on failure.
    virtual bool setBaudRate(qint32 rate, QString* error = nullptr) = 0;
    // Nullopt when the line's settings cannot be read (a closed or gone port).
    virtual std::optional<SerialSettings> settings(QString* error = nullptr) const = 0;

    // Bytes in the input queue; -1 when the line cannot be asked.
    virtual qint64 bytesWaiting(QString* error = nullptr) = 0;
    // What is queued, up to `max` bytes, without waiting; -1 on failure or hang-up.
    virtual qint64 read(char* buffer, qint64 max, QString* error = nullptr) = 0;
    // All `length` bytes within `timeoutMs`, or false: a short write is a failure.
    virtual bool write(const char* data, qint64 length, int timeoutMs, QString* error = nullptr) = 0;
    // Throws away what is queued for input.
    virtual bool discardInput(QString* error = nullptr) = 0;

    // The modem lines. Nullopt without `*error` for a line that has none (a pseudo-terminal),
    // which is no failure; nullopt with `*error` for a closed or gone port.
    virtual std::optional<ModemLines> modemLines(QString* error = nullptr) const = 0;
    // Raises or drops DTR; false for a line without modem lines.
    virtual bool setDtr(bool on, QString* error = nullptr) = 0;
    // True once the far end has hung up: the device reports a hang-up, or the carrier that
    // was up has dropped.
    virtual bool hungUp() = 0;

    // The termios implementation.
    static std::unique_ptr<SerialPort> create();
};

}  // namespace platform
