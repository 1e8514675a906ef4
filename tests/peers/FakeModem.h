#pragma once

// A Hayes modem on a pseudo-terminal, for the serial, telephony, modem and packet tests. It
// answers command lines only while the line runs at its one rate, dials with a scripted
// result, plays the service's side of a data call, returns to command mode on "+++", and
// can hang up, which the other end sees as a dead line.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace testpeers {

class FakeModem {
public:
    enum class DialResult { Connect, Busy, NoCarrier, NoAnswer, NoDialTone, Error, Silence };

    // The data call as the service's side sees it; used on the modem's thread.
    class Link {
    public:
        explicit Link(FakeModem& modem) : modem_(modem) {}
        // Exactly `n` bytes, or what came before `timeoutMs` passed.
        QByteArray read(int n, int timeoutMs);
        // One packet: the 6 bytes up to the declared length, then the rest; empty on time-out.
        QByteArray readPacket(int timeoutMs);
        void write(const QByteArray& bytes);
        // Reads until `text` has come (true) or `timeoutMs` passed; `got` (when given) gets
        // what was read, `text` included.
        bool readUntil(const QByteArray& text, int timeoutMs, QByteArray* got = nullptr);
        // Ends the call: the master side closes.
        void hangUp();
        bool stopping() const;

    private:
        FakeModem& modem_;
    };

    struct Options {
        int answerRate = 2400;
        DialResult dial = DialResult::Connect;
        // When not empty, the n-th dial gets the n-th result (the last for every later one).
        std::vector<DialResult> dials;
        QByteArray connectText = "CONNECT 9600";
        // What an accepted command other than a dial answers.
        QByteArray okText = "\r\nOK\r\n";
        // The "+MS: ..." line "AT+MS?" answers before OK; empty: the modem answers ERROR.
        QByteArray modulationText;
        // Run once a dial connects; the call stays up when it returns.
        std::function<void(Link&)> service;
    };

    // Options for a modem at `rate` that dials with `dial`.
    static Options at(int rate, DialResult dial = DialResult::Connect)
    {
        Options options;
        options.answerRate = rate;
        options.dial = dial;
        return options;
    }

    explicit FakeModem(Options options);
    ~FakeModem();
    FakeModem(const FakeModem&) = delete;
    FakeModem& operator=(const FakeModem&) = delete;

    bool started() const { return master_ >= 0; }
    // The pseudo-terminal's device, for the code under test to open.
    QString devicePath() const { return path_; }
    // Every command line met, as "<rate> <line>", whether answered or not.
    QStringList commands() const;
    // The numbers dialled at the answering rate.
    QStringList dialled() const;
    // How many times "+++" brought a call back to command mode.
    int escapes() const { return escapes_; }
    bool inDataMode() const { return dataMode_; }
    // Bytes received while in data mode and no service was reading.
    QByteArray dataReceived() const;
    // Closes the master side: the line is dead for the other end. Waits until it is.
    void hangUp();
    // The line's rate as the other end set it.
    int currentRate() const;

private:
    void run();
    void handleCommandBytes(const QByteArray& bytes);
    void handleLine(const QByteArray& line);
    void handleDataBytes(const QByteArray& bytes);
    void writeAll(const QByteArray& bytes);
    bool readSome(QByteArray& out, int timeoutMs);

    Options options_;
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> hangUpWanted_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<bool> dataMode_{false};
    std::atomic<int> escapes_{0};
    QByteArray line_;
    QByteArray dataTail_;
    mutable std::mutex mutex_;
    QStringList commands_;
    QStringList dialled_;
    QByteArray data_;
    int dialCount_ = 0;
};

}  // namespace testpeers
