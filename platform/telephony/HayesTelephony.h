#pragma once

#include "platform/telephony/ModemList.h"
#include "platform/telephony/Telephony.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <map>

class QTimer;

namespace platform {

struct HayesTelephonyOptions {
    QString sysfsRoot = QStringLiteral("/sys/class/tty");
    QString devRoot = QStringLiteral("/dev");
    QStringList configured;
    // Tried in turn until the modem answers "AT" with OK.
    QList<qint32> rates = {19200, 9600, 2400, 1200};
    int answerMs = 700;
    // Quiet before and after "+++", for a modem without DTR to drop.
    int guardMs = 1100;
    int dtrDropMs = 500;
    int pollMs = 20;
    // What the dialling location dials for the "+" of an international number. Linux keeps
    // no dialling rules, so it is the common "00" unless the caller knows better.
    QString internationalPrefix = QStringLiteral("00");
};

// Telephony on Hayes modems: each modem is a line of data-modem media, a call opens the
// modem's port, finds its rate, dials with ATDT and follows the result codes as call states;
// a connected call watches for the far end hanging up or the carrier dropping, and a drop
// lowers DTR, or without it escapes with "+++" and sends ATH0.
class HayesTelephony final : public Telephony {
public:
    explicit HayesTelephony(HayesTelephonyOptions options);
    ~HayesTelephony() override;

    qint32 initialize(const QString& appName, LineCallback callback, quint32* deviceCount) override;
    qint32 negotiateApiVersion(quint32 device, quint32 low, quint32 high, quint32* version,
                               QString* error = nullptr) override;
    qint32 getDevCaps(quint32 device, quint32 version, LineCaps* caps, QString* error = nullptr) override;
    // Asks the modem "AT+MS?" at each of the rates until it answers.
    qint32 queryLineRates(quint32 device, LineCaps* caps, QString* error = nullptr) override;
    qint32 openLine(quint32 device, quint32 version, quintptr instance, quint32 mediaModes, quint32* line,
                    QString* error = nullptr) override;
    qint32 lineDeviceId(quint32 line, quint32* device, QString* error = nullptr) override;
    qint32 translateAddress(quint32 device, quint32 version, const QString& number, QString* dialable,
                            QString* error = nullptr) override;
    // The port is opened here, so a port that will not open fails with the serial layer's
    // words; a modem that does not answer "AT" is a kMsgReply error later.
    qint32 makeCall(quint32 line, quint32* call, const QString& number, QString* error = nullptr) override;
    qint32 getCallState(quint32 call, quint32* state, QString* error = nullptr) override;
    qint32 drop(quint32 call, QString* error = nullptr) override;
    qint32 deallocateCall(quint32 call, QString* error = nullptr) override;
    std::shared_ptr<SerialPort> callPort(quint32 call) override;
    qint32 closeLine(quint32 line, QString* error = nullptr) override;
    qint32 shutdown() override;

private:
    struct Line {
        quint32 device = 0;
        quintptr instance = 0;
    };
    struct Call;

    // kOk for a line of the list, else kErrUninitialized or kErrBadDeviceId with the words.
    qint32 checkDevice(quint32 device, QString* error) const;
    // Delivers a message from the event loop, unless telephony has been shut down since.
    void post(const Call& call, quint32 message, quintptr p1, quintptr p2, quintptr p3);
    void step(quint32 handle);
    void setState(Call& call, quint32 state, quint32 detail = 0);
    void hangUp(Call& call);
    // No more steps; a call dialling or connected is hung up.
    void stopCall(Call& call);

    HayesTelephonyOptions options_;
    QObject context_;
    LineCallback callback_;
    bool initialized_ = false;
    QList<ModemDevice> modems_;
    std::map<quint32, Line> lines_;
    std::map<quint32, std::unique_ptr<Call>> calls_;
    quint32 nextHandle_ = 1;
    quint32 nextRequest_ = 1;
};

}  // namespace platform
