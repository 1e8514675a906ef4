#include "regengine/transport/ComLineMgr.h"

#include "regengine/core/Clock.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/QmStringList.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/core/Timer.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

namespace engine {

using namespace platform::tel;

namespace {

ComLineMgr* g_live = nullptr;
ComLineMgr::StatusCallback g_statusCallback = nullptr;
TapiSerial* g_statusDevice = nullptr;

constexpr quint32 kPrivilegeMonitor = 2;
constexpr quint32 kPrivilegeOwner = 4;

QString cmgr(qint32 n, const char* fallback)
{
    return GetTableString(QString::fromLatin1(fallback), n, FourCC("CMGR"));
}

QString cmgrText(qint32 n)
{
    switch (n) {
    case 2: return cmgr(n, "Dial tone.");
    case 3: return cmgr(n, "Dialing call.");
    case 4: return cmgr(n, "Call is proceeding.");
    case 5: return cmgr(n, "Line is busy.");
    case 6: return cmgr(n, "Line is idle.");
    case 7: return cmgr(n, "Special Info, probably couldn't dial number.");
    case 8: return cmgr(n, "Remote party disconnected.");
    case 9: return cmgr(n, "Disconnected: Unknown reason.");
    case 10: return cmgr(n, "Remote party rejected call.");
    case 11: return cmgr(n, "Disconnected: Local phone picked up.");
    case 12: return cmgr(n, "Disconnected: Forwarded.");
    case 13: return cmgr(n, "Disconnected: Busy.");
    case 14: return cmgr(n, "Disconnected: No answer.");
    case 15: return cmgr(n, "Disconnected: Bad address.");
    case 16: return cmgr(n, "Disconnected: Unreachable.");
    case 17: return cmgr(n, "Disconnected: Congestion.");
    case 18: return cmgr(n, "Disconnected: Incompatible.");
    case 19: return cmgr(n, "Disconnected: Unavailable.");
    case 20: return cmgr(n, "Disconnected: No dial tone.");
    case 21: return cmgr(n, "Already Connected");
    case 22: return cmgr(n, "Connected.");
    case 23: return cmgr(n, "The line is unavailable or in use.  Check Control Panels if necessary.");
    case 24: return cmgr(n, "The line is blocked and can't be used");
    case 25: return cmgr(n, "There is no line resource available. Check Control Panels if necessary.");
    case 26: return cmgr(n, "An unknown line error has occurred %X");
    case 27: return cmgr(n, "RingBack.");
    case 28: return cmgr(n, "Disconnected: LINECALLSTATE; Bad Reason.");
    case 29: return cmgr(n, "There is no line available. Make sure it is not in use or check modem settings.");
    case 30: return cmgr(n, "No Modem Available^-1");
    default: return {};
    }
}

// The telephony layer's words for a failure; a layer without words leaves no empty line.
void traceFailure(const QString& error)
{
    if (!error.isEmpty())
        EngineTrace(error);
}

}  // namespace

ComLineMgr::ComLineMgr(platform::Telephony* telephony, const Clock* clock)
    : telephony_(telephony), clock_(clock != nullptr ? clock : &Clock::System())
{
    if (telephony_ == nullptr) {
        ownTelephony_ = platform::createSystemTelephony();
        telephony_ = ownTelephony_.get();
    }
    g_statusCallback = nullptr;
    g_statusDevice = nullptr;
    g_live = this;
}

ComLineMgr::~ComLineMgr()
{
    Close();
    if (g_live == this) {
        g_live = nullptr;
        g_statusCallback = nullptr;
        g_statusDevice = nullptr;
    }
}

void ComLineMgr::SetClock(const Clock* clock)
{
    clock_ = clock != nullptr ? clock : &Clock::System();
}

void ComLineMgr::SetStatusCallback(StatusCallback callback, TapiSerial* device)
{
    g_statusCallback = callback;
    g_statusDevice = device;
}

void ComLineMgr::SendStatus(const QString& text, int code)
{
    if (g_statusCallback != nullptr)
        g_statusCallback(text, code, g_statusDevice);
}

void ComLineMgr::ReportStatus(const QString& text)
{
    if (options_ & 1)
        SendStatus(text);
}

void ComLineMgr::ReportError(const QString& text)
{
    SendStatus(text);
}

QString ComLineMgr::LineErrorText(qint32 code)
{
    switch (quint32(code)) {
    case 0: return {};
    case kErrCallUnavail: return cmgrText(23);
    case kErrResourceUnavail: return cmgrText(25);
    case kErrAddressBlocked: return cmgrText(24);
    default: return platform::formatText(cmgrText(26), unsigned(code));
    }
}

bool ComLineMgr::CheckTapiResult(qint32 code, const QString& error)
{
    if (code == 0)
        return true;
    traceFailure(error);
    switch (quint32(code)) {
    case 0x8000000E:
    case 0x8000001E:
    case 0x8000002D: ReportStatus(QStringLiteral("The values in the INI file are invalid\n")); break;
    case 0x80000043: ReportStatus(QStringLiteral("There is a problem with your Telephoney device driver\n")); break;
    case 0x80000044: ReportStatus(QStringLiteral("Out of memory. Cancelling action\n")); break;
    case 0x80000048: ReportStatus(QStringLiteral("The TAPI operation failed\n")); break;
    case 0x8000004B: ReportStatus(QStringLiteral("A TAPI resource is unavailable at this time\n")); break;
    case 0x80000056: ReportStatus(QStringLiteral("Remove one of your copies of your Telephony diriver\n")); break;
    default: break;
    }
    return false;
}

std::optional<platform::LineCaps> ComLineMgr::GetDevCaps(quint32 device, quint32 version)
{
    platform::LineCaps caps;
    QString error;
    const qint32 result = telephony_->getDevCaps(device, version, &caps, &error);
    if (!CheckTapiResult(result, error))
        return std::nullopt;
    return caps;
}

bool ComLineMgr::Initialize(qint32* status)
{
    if (initialized_)
        return true;
    const qint32 result = telephony_->initialize(
        QStringLiteral("Registration Line Mgr"),
        [](quint32 device, quint32 message, quintptr instance, quintptr p1, quintptr p2, quintptr p3) {
            if (g_live != nullptr)
                g_live->LineCallback(device, message, instance, p1, p2, p3);
        },
        &deviceCount_);
    if (status != nullptr)
        *status = result;
    initialized_ = result == 0;
    return initialized_;
}

bool ComLineMgr::NegotiateVersion(qint32* status)
{
    QString error;
    const qint32 result = telephony_->negotiateApiVersion(0, 0x10000, 0x10004, &version_, &error);
    if (status != nullptr)
        *status = result;
    if (result != 0)
        traceFailure(error);
    return result == 0;
}

std::unique_ptr<QmStringList> ComLineMgr::GetModemList()
{
    if (!Initialize(nullptr))
        return nullptr;
    auto list = std::make_unique<QmStringList>();
    // Without a single line there is nothing to negotiate with, and no data modem either.
    if (deviceCount_ > 0 && !NegotiateVersion(nullptr))
        return nullptr;
    for (quint32 device = 0; device < deviceCount_; ++device) {
        const auto caps = GetDevCaps(device, version_);
        if (caps && (caps->mediaModes & kMediaDataModem))
            list->AddString(platform::formatText(QStringLiteral("%s^%u"), caps->lineName, unsigned(device)));
    }
    if (list->GetCount() == 0)
        list->AddString(cmgrText(30));
    return list;
}

bool ComLineMgr::OpenLine(qint32* status, qint32 deviceIndex)
{
    ReportStatus(QStringLiteral("About to lineInit"));
    if (!Initialize(status))
        return false;
    ReportStatus(platform::formatText(QStringLiteral("Got line app %lX     about to negotiate"), 1u));
    qint32 result = 0;
    const bool negotiated = NegotiateVersion(&result);
    ReportStatus(platform::formatText(QStringLiteral("Negotiated version %lX with stat %lX"), unsigned(version_),
                                      unsigned(result)));
    if (status != nullptr)
        *status = result;
    if (!negotiated)
        return false;
    if (line_ == 0) {
        ReportStatus(QStringLiteral("About to open line"));
        const quint32 device = deviceIndex < 0 ? kLineMapper : quint32(deviceIndex);
        QString error;
        result = telephony_->openLine(device, version_, quintptr(this), kMediaDataModem, &line_, &error);
        if (status != nullptr)
            *status = result;
        if (result != 0) {
            line_ = 0;
            // The box keeps its own words; the reason goes to the trace.
            EngineTrace(QStringLiteral("OpenLine: ") + error);
            platform::messageBox(QStringLiteral("A phone line could not be opened"), QString(), platform::mb::Ok);
            return false;
        }
        ReportStatus(platform::formatText(QStringLiteral("Got the line %lX"), unsigned(line_)));
    }
    return line_ != 0;
}

QString ComLineMgr::TranslateAddress(const QString& number)
{
    quint32 device = 0;
    QString dialable;
    QString error;
    if (telephony_->lineDeviceId(line_, &device, &error) == 0 &&
        telephony_->translateAddress(device, kApiVersion, number, &dialable, &error) == 0)
        return dialable;
    // Dialled as it stands: the call says whether the modem can take it.
    traceFailure(error);
    return number;
}

bool ComLineMgr::MakeCall(const QString& number, qint32 deviceIndex)
{
    ReportStatus(QStringLiteral("Checking Line Available"));
    failed_ = false;
    qint32 status = 0;
    if (!OpenLine(&status, deviceIndex)) {
        ReportError(cmgrText(29));
        return false;
    }
    ReportStatus(QStringLiteral("About to call number"));
    const QString dialable = TranslateAddress(number);
    QString error;
    const qint32 result = telephony_->makeCall(line_, &call_, dialable, &error);
    ReportStatus(platform::formatText(QStringLiteral("Back from Make call stat = %lX"), unsigned(result)));
    if (result < 0) {
        call_ = 0;
        traceFailure(error);
        SendStatus(LineErrorText(result));
        return false;
    }
    return WaitForCall();
}

bool ComLineMgr::WaitForCall()
{
    replyResult_ = qint32(kErrOperationFailed);
    const Timer timer(clock_);
    // The pump holds back a quit met meanwhile and posts it again, so it ends the program
    // after the call, not in the middle of it.
    while (commPort_ == nullptr && !failed_) {
        if (cancelFlag_ != nullptr && *cancelFlag_ != 0)
            break;
        if (timer.ElapsedHundredths() * 10 >= kCallWaitMs) {
            failed_ = true;
            break;
        }
        int cancelled = 0;
        if (PumpWhileBusy(&cancelled))
            break;
    }
    return commPort_ != nullptr;
}

void ComLineMgr::LineCallback(quint32 device, quint32 message, quintptr, quintptr p1, quintptr p2, quintptr p3)
{
    ReportStatus(platform::formatText(QStringLiteral("ComCallBack  dev:%lX   msg:%lX   p1:%lX  p2:%lX  p3:%lX"),
                                      unsigned(device), unsigned(message), unsigned(p1), unsigned(p2), unsigned(p3)));
    switch (message) {
    case kMsgCallState: OnCallState(quint32(p1), quint32(p2), quint32(p3)); break;
    case kMsgClose:
        line_ = 0;
        call_ = 0;
        SendStatus(QStringLiteral("Line was closed"));
        SendStatus(QString(), kLineDead);
        commPort_.reset();
        connected_ = false;
        break;
    case kMsgReply:
        if (p2 != 0) {
            ReportStatus(platform::formatText(QStringLiteral("LINE_REPLY error: %lX"), unsigned(p2)));
            ReportStatus(LineErrorText(qint32(p2)));
            failed_ = true;
        } else {
            ReportStatus(QStringLiteral("LINE_REPLY: successfully replied.\n"));
        }
        replied_ = true;
        replyResult_ = qint32(p2);
        break;
    case kMsgLineDevState:
    case kMsgCreate: break;
    default: ReportStatus(QStringLiteral("lineCallbackFunc message ignored\n")); break;
    }
}

void ComLineMgr::OnCallState(quint32 state, quint32 detail, quint32 privilege)
{
    callState_ = state;
    stateSeen_ = true;
    if (privilege == kPrivilegeMonitor) {
        ReportStatus(QStringLiteral("line given monitor privilege; closing\n"));
        DropCall();
        return;
    }
    if (privilege == kPrivilegeOwner) {
        ReportStatus(QStringLiteral("line given owner privilege; closing\n"));
        DropCall();
    } else if (privilege != 0) {
        ReportStatus(QStringLiteral("Unknown LINECALLPRIVILEGE message: closing\n"));
        DropCall();
        return;
    }
    QString text;
    switch (state) {
    case kStateIdle:
        commPort_.reset();
        connected_ = false;
        if (call_ != 0)
            telephony_->deallocateCall(call_);
        call_ = 0;
        SendStatus(cmgrText(6));
        SendStatus(QString(), kLineDead);
        ReportStatus(QStringLiteral("Line idle\n"));
        DropCall();
        return;
    case kStateDialTone:
        text = cmgrText(2);
        ReportStatus(QStringLiteral("Dial tone.\n"));
        break;
    case kStateDialing:
        text = cmgrText(3);
        ReportStatus(QStringLiteral("Dialing.\n"));
        break;
    case kStateRingBack:
        text = cmgrText(27);
        ReportStatus(QStringLiteral("RingBack\n"));
        break;
    case kStateBusy:
        ReportStatus(QStringLiteral("Line busy, shutting down.\n"));
        failed_ = true;
        SendStatus(cmgrText(5));
        DropCall();
        return;
    case kStateSpecialInfo:
        text = cmgrText(7);
        ReportStatus(text + QStringLiteral("\n"));
        failed_ = true;
        DropCall();
        break;
    case kStateConnected:
        if (connected_) {
            text = cmgrText(21);
            break;
        }
        connected_ = true;
        ReportStatus(QStringLiteral("Connected!  Starting communications!\n"));
        commPort_ = telephony_->callPort(call_);
        text = cmgrText(22);
        break;
    case kStateProceeding:
        text = cmgrText(4);
        ReportStatus(QStringLiteral("Proceeding\n"));
        break;
    case kStateDisconnected: {
        static const struct {
            quint32 mode;
            int text;
        } kModes[] = {{1, 8},    {2, 9},    {4, 10},   {8, 11},    {16, 12},   {32, 13},  {64, 14},
                      {128, 15}, {256, 16}, {512, 17}, {1024, 18}, {2048, 19}, {4096, 20}};
        int n = 28;
        for (const auto& m : kModes) {
            if (m.mode == detail)
                n = m.text;
        }
        ReportStatus(cmgrText(n) + QStringLiteral("\n"));
        SendStatus(cmgrText(n));
        SendStatus(QString(), kLineDead);
        connected_ = false;
        failed_ = true;
        DropCall();
        return;
    }
    default: ReportStatus(QStringLiteral("Unhandled LINECALLSTATE message\n")); return;
    }
    SendStatus(text);
}

void ComLineMgr::DropCall()
{
    if (dropping_)
        return;
    dropping_ = true;
    if (call_ != 0) {
        quint32 state = 0;
        telephony_->getCallState(call_, &state);
        if (state != kStateIdle)
            telephony_->drop(call_);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const qint32 result = telephony_->deallocateCall(call_);
            if (result == 0 || quint32(result) == kErrInvalCallHandle)
                break;
            clock_->SleepMs(100);
        }
        failed_ = true;
        call_ = 0;
    }
    // The port belonged to the call, which has closed it; only the reference goes here.
    commPort_.reset();
    connected_ = false;
    dropping_ = false;
}

void ComLineMgr::Close()
{
    DropCall();
    if (line_ != 0) {
        telephony_->closeLine(line_);
        line_ = 0;
    }
    if (initialized_) {
        telephony_->shutdown();
        initialized_ = false;
    }
}

}  // namespace engine
