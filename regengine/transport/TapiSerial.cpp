#include "regengine/transport/TapiSerial.h"

namespace engine {

TapiSerial::TapiSerial(const QString& portName, platform::Telephony* telephony)
    : SerialDevice(portName), lineMgr_(telephony)
{
    ComLineMgr::SetStatusCallback(&TapiSerial::ComMgrCallback, this);
}

TapiSerial::~TapiSerial()
{
    lineMgr_.Close();
    ReleasePort();
}

void TapiSerial::SetDeviceClock(const Clock* clock)
{
    SetClock(clock);
    lineMgr_.SetClock(clock);
}

int TapiSerial::Open()
{
    qint32 status = 0;
    if (!lineMgr_.OpenLine(&status, -1))
        return kFailed;
    if (!lineMgr_.MakeCall(QString::fromLatin1(GetInitString()), -1))
        return kFailed;
    AttachPort(lineMgr_.GetCommPort(), false);
    return SetTimeouts();
}

void TapiSerial::SetCancelFlag(const int* flag)
{
    lineMgr_.SetCancelFlag(flag);
}

int TapiSerial::OnLineClosed()
{
    ShowTrace(QStringLiteral("Tapi Closed by itself"));
    ReleasePort();
    SetAbortFlag();
    return 0;
}

void TapiSerial::ComMgrCallback(const QString& text, int code, TapiSerial* device)
{
    if (device == nullptr)
        return;
    if (code == ComLineMgr::kLineDead) {
        device->ShowTrace(QStringLiteral("Line Dead in ComMgrCallback"));
        device->OnLineClosed();
        return;
    }
    device->ShowTrace(text);
    device->ShowStatus(text);
    device->SetStatusText(text);
}

}  // namespace engine
