#pragma once

#include "platform/telephony/Telephony.h"

#include <QString>

#include <memory>
#include <optional>

namespace platform {
class SerialPort;
}

namespace engine {

class Clock;
class QmStringList;
class TapiSerial;

// The telephony line manager: lists the data modems, opens a line, places a data call,
// follows its states and hands out the connected call's port. Texts for the user come from
// string table "CMGR". Only one manager is live at a time; telephony's messages go to it.
class ComLineMgr {
public:
    // Receives a text, or code kLineDead with an empty text.
    using StatusCallback = void (*)(const QString& text, int code, TapiSerial* device);
    static constexpr int kLineDead = 68;
    static constexpr qint64 kCallWaitMs = 50000;

    // `telephony` (not owned) defaults to the machine's own; `clock` (not owned) times the
    // wait for a call.
    explicit ComLineMgr(platform::Telephony* telephony = nullptr, const Clock* clock = nullptr);
    ComLineMgr(const ComLineMgr&) = delete;
    ComLineMgr& operator=(const ComLineMgr&) = delete;
    virtual ~ComLineMgr();

    // "<line name>^<device index>" for each data modem, or text 30 ("No Modem
    // Available^-1") when there is none; null when telephony cannot start.
    std::unique_ptr<QmStringList> GetModemList();
    // Opens a line on `deviceIndex` (-1: any data modem); `status` gets the last result.
    virtual bool OpenLine(qint32* status, qint32 deviceIndex);
    // Dials `number` and waits up to 50 seconds, pumping events, for the call to connect.
    virtual bool MakeCall(const QString& number, qint32 deviceIndex);
    void DropCall();
    void Close();

    static void SetStatusCallback(StatusCallback callback, TapiSerial* device);
    void ReportStatus(const QString& text);
    void ReportError(const QString& text);
    static QString LineErrorText(qint32 code);
    // False for a failure: `error`, the layer's words for it, goes to the trace, and the
    // number's own text to the status.
    bool CheckTapiResult(qint32 code, const QString& error = QString());
    std::optional<platform::LineCaps> GetDevCaps(quint32 device, quint32 version);

    void SetCancelFlag(const int* flag) { cancelFlag_ = flag; }
    // Bit 0 passes the diagnostic texts on to the status callback.
    void SetOptions(quint32 options) { options_ = options; }
    void SetClock(const Clock* clock);

    // The connected call's port; it belongs to the call, which closes it.
    std::shared_ptr<platform::SerialPort> GetCommPort() const { return commPort_; }
    bool IsConnected() const { return connected_; }
    bool IsFailed() const { return failed_; }
    quint32 GetCallState() const { return callState_; }

    // The telephony message handler, public for the layer's callback.
    void LineCallback(quint32 device, quint32 message, quintptr instance, quintptr p1, quintptr p2, quintptr p3);

private:
    bool Initialize(qint32* status);
    bool NegotiateVersion(qint32* status);
    QString TranslateAddress(const QString& number);
    bool WaitForCall();
    void OnCallState(quint32 state, quint32 detail, quint32 privilege);
    void SendStatus(const QString& text, int code = 0);

    std::unique_ptr<platform::Telephony> ownTelephony_;
    platform::Telephony* telephony_;
    const Clock* clock_;
    bool initialized_ = false;
    quint32 deviceCount_ = 0;
    quint32 version_ = 0;
    quint32 line_ = 0;
    quint32 call_ = 0;
    std::shared_ptr<platform::SerialPort> commPort_;
    quint32 callState_ = 0;
    bool stateSeen_ = false;
    bool connected_ = false;
    bool replied_ = false;
    qint32 replyResult_ = 0;
    bool failed_ = false;
    bool dropping_ = false;
    const int* cancelFlag_ = nullptr;
    quint32 options_ = 0;
};

}  // namespace engine
