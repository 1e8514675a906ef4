#include "regengine/transport/TapiHayes.h"

namespace engine {

TapiHayes::TapiHayes(const QString& portName, platform::Telephony* telephony) : HayesDevice(portName, telephony)
{
    ResetDeviceIndex();
}

TapiHayes::~TapiHayes()
{
    HangUp();
}

bool TapiHayes::Dial(const char* number)
{
    SetInitString(number);
    ShowTrace(QStringLiteral("About to call number"));
    ShowTrace(QString::fromLatin1(GetInitString()));
    ComLineMgr* manager = GetLineMgr();
    if (!manager->MakeCall(QString::fromLatin1(GetInitString()), deviceIndex_)) {
        ShowTrace(QStringLiteral("Tapi did not connect to number"));
        return false;
    }
    AttachPort(manager->GetCommPort(), false);
    ShowTrace(QStringLiteral("About to open device"));
    const int opened = SetTimeouts();
    ShowTrace(QStringLiteral("Back from OpenX"));
    // A call without a usable line is no connection, whatever telephony said.
    if (opened != 0 || !HasPort()) {
        ShowTrace(QStringLiteral("Unit NOT Valid ! ! ! "));
        HangUp();
        return false;
    }
    ShowTrace(QStringLiteral("Unit is valid"));
    Settings().connectedWord = 1;
    return true;
}

int TapiHayes::HangUp()
{
    GetLineMgr()->Close();
    ReleasePort();
    Settings().connectedWord = 0;
    return 0;
}

}  // namespace engine
