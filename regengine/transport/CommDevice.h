#pragma once

#include "regengine/core/Timer.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace engine {

class Clock;
class Displayer;
class Dumper;

// A byte stream to a modem or serial line: sends, reads with retries and time limits,
// waits for an expected text, throws away pending input, and reports to a status display,
// a trace display and a dumper. The line itself is the business of the descendants.
//
// Results: a byte count (>= 0), 0 for success, kFailed, kTimedOut or kAborted. Ticks are
// tenths of a second; the limits of WaitForString and FlushInput are hundredths. Every wait
// runs on the device's clock, which tests may replace.
class CommDevice {
public:
    static constexpr int kFailed = -1;
    static constexpr int kTimedOut = -999;
    static constexpr int kAborted = -9999;
    static constexpr int kInitStringSize = 256;

    explicit CommDevice(const QString& portName = {});
    CommDevice(const CommDevice&) = delete;
    CommDevice& operator=(const CommDevice&) = delete;
    // Frees the buffers; a descendant that holds a line closes it in its own destructor.
    virtual ~CommDevice();

    virtual int SetPortName(const QString& name);
    virtual int Open() = 0;
    virtual int Close() = 0;
    virtual int Send(const char* data, qint32 length);
    // The text's UTF-16 units, two bytes each, low byte first.
    virtual int SendString(const QString& text);
    // Writes the bytes: 0, kFailed or kAborted.
    virtual int SendPtr(const char* data, qint32 length) = 0;
    // What is available, up to `wanted`, into `buffer`; 0 or kFailed (or kAborted).
    virtual int Read(char* buffer, qint32 wanted, qint32* count) = 0;
    // Until `wanted` bytes have come or `retries` empty reads in a row; a short result is
    // followed by a zero byte, so `buffer` needs room for wanted + 1 bytes.
    virtual qint32 ReadFully(char* buffer, qint32 wanted, qint32 retries);
    // ReadSome until `wanted` bytes have come; a result below 1 ends it.
    virtual qint32 ComInMin(char* buffer, qint32 wanted, qint32 retries);
    // The first bytes that come, or kTimedOut after `retries` empty reads.
    virtual qint32 ReadSome(char* buffer, qint32 wanted, qint32 retries);
    // Reads until `text` has come (0), `limit` hundredths have passed (kTimedOut) or the
    // abort flag is set (kAborted); a non-zero `flush` then discards what follows.
    virtual int WaitForString(const QByteArray& text, qint32 limit, qint32 flush);
    virtual qint32 BytesWaiting() = 0;
    // Discards input until the line is quiet; kTimedOut once `limit` hundredths (0: the
    // longest flush) have passed.
    virtual int FlushInput(qint32 readTimeout, qint32 limit);
    // Clears the line error and the abort flag.
    virtual int ClearError() = 0;
    // Stores value * 60 / 100; returns the previous stored value.
    virtual qint32 SetTimeout(qint32 value);
    virtual int SetBufferSize(qint32 size);
    virtual void ShowStatus(const QString& text);
    virtual void EchoStatus(const QString& text);
    virtual void ShowTrace(const QString& text);
    virtual void SetStatusDisplayer(Displayer* displayer) { statusDisplayer_ = displayer; }
    virtual void SetDumper(Dumper* dumper) { dumper_ = dumper; }
    virtual void SetEchoMode(qint32 mode) { echoMode_ = mode; }
    virtual void SetTraceDisplayer(Displayer* displayer) { traceDisplayer_ = displayer; }
    virtual void ResetTimer();
    virtual qint64 ElapsedSeconds() const;
    // Entry `number` of numbered string table `table`, unscrambled when asked, followed by
    // `terminator` unless it is 0, as one byte per character. An unscrambled entry is a
    // secret: neither the trace nor the dumper sees it.
    virtual int SendIndirectString(qint16 table, qint16 number, char terminator, bool unscramble);
    // At most 255 characters are kept; null is ignored.
    virtual void SetInitString(const char* text);
    virtual QString GetStatusText() const { return statusText_; }
    virtual int Init();
    virtual int AllocateBuffers();
    virtual int Shutdown();

    // Sends bytes the dumper must not record (a password): it gets their count only.
    int SendSecret(const char* data, qint32 length);

    // Waits `ticks` tenths of a second on the device's clock.
    void WaitTicks(qint32 ticks) const;
    // The clock of every wait and time-out (not owned); null restores the system clock.
    void SetClock(const Clock* clock);
    const Clock& GetClock() const { return *clock_; }

    bool GetAbortFlag() const { return abort_ != 0; }
    void SetAbortFlag() { abort_ = 1; }
    // Clears the abort flag alone, touching neither the line nor the modem.
    void ClearAbort() { abort_ = 0; }
    const char* GetInitString() const { return initString_; }
    qint32 GetTimeoutValue() const { return timeoutValue_; }
    qint32 GetBufferSize() const { return bufferSize_; }
    QString GetPortName() const { return portName_; }
    qint32 GetEchoMode() const { return echoMode_; }
    Displayer* GetStatusDisplayer() const { return statusDisplayer_; }
    Displayer* GetTraceDisplayer() const { return traceDisplayer_; }
    Dumper* GetDumper() const { return dumper_; }

protected:
    // The block to the dumper, with its title and the elapsed seconds.
    void DumpBlock(const char* title, const char* data, qint32 length);
    // Set while a secret is being sent.
    bool SendingSecret() const { return secret_; }
    void SetStatusText(const QString& text) { statusText_ = text; }

private:
    QByteArray inBuffer_;
    QByteArray outBuffer_;
    qint32 bufferSize_ = 1024;
    QString portName_;
    qint32 timeoutValue_ = 0;
    quint8 abort_ = 0;
    char initString_[kInitStringSize] = {};
    Displayer* statusDisplayer_ = nullptr;
    Displayer* traceDisplayer_ = nullptr;
    Dumper* dumper_ = nullptr;
    const Clock* clock_;
    std::unique_ptr<Timer> timer_;
    qint32 echoMode_ = 0;
    QString statusText_;
    bool secret_ = false;
};

// Restores a logon text that is stored scrambled: each character exclusive-or'ed with the
// next character of an eight-character key, in place, over the whole text (a 0 included).
void UnscrambleText(QString& text);
// The same into a new text, the stored one left scrambled for its next use.
QString UnscrambledText(const QString& text);

}  // namespace engine
