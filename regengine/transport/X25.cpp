#include "regengine/transport/X25.h"

#include "regengine/core/StringTableMgr.h"
#include "regengine/transport/CommDevice.h"
#include "regengine/transport/HayesDevice.h"

#include <QByteArray>

namespace engine {

QByteArray X25::Expected(int n)
{
    return GetCStringInd(kTextTable, n).toLatin1();
}

int X25::Logon()
{
    if (device_ == nullptr)
        return 0;
    device_->ShowTrace(QStringLiteral("Starting X25 logon"));
    // Only a dialled Hayes call can carry a logon.
    const auto* hayes = dynamic_cast<const HayesDevice*>(device_);
    if (hayes == nullptr || hayes->GetStatusWord() == 0)
        return 0;
    device_->ShowTrace(QStringLiteral("Modem ConnectStat is true"));
    device_->ShowStatus(QStringLiteral("Connected - Starting X25 Login"));

    device_->SendIndirectString(kTextTable, 10, '\r', false);
    device_->ShowTrace(QStringLiteral("Dots are sent"));
    device_->WaitTicks(20);
    if (device_->WaitForString(Expected(15), 300, 10) != 0)
        return kLogonFailed;
    device_->ShowTrace(QStringLiteral("Waiting for response"));
    device_->ShowStatus(QStringLiteral("Got Net Logon String"));
    device_->WaitTicks(20);

    // The network may echo what it is sent, so nothing is dumped from the user name until
    // the password has been taken: the dump file must never hold the credentials.
    Dumper* dumper = device_->GetDumper();
    device_->SetDumper(nullptr);
    struct Restore {
        CommDevice* device;
        Dumper* dumper;
        ~Restore() { device->SetDumper(dumper); }
    } restore{device_, dumper};

    device_->SendIndirectString(kTextTable, 1, ' ', false);
    device_->SendIndirectString(kTextTable, 2, '\r', true);
    device_->ShowStatus(QStringLiteral("Sending NUI's"));
    device_->WaitTicks(10);
    if (device_->WaitForString(Expected(16), 300, 10) != 0)
        return kLogonFailed;
    device_->SendIndirectString(kTextTable, 3, '\r', true);
    if (device_->WaitForString(Expected(18), 300, 10) != 0)
        return kLogonFailed;
    device_->SetDumper(dumper);

    for (const int n : {4, 5, 6}) {
        device_->SendIndirectString(kTextTable, qint16(n), '\r', false);
        device_->WaitTicks(5);
        device_->FlushInput(1, 100);
    }
    device_->SendIndirectString(kTextTable, 9, '\r', false);
    device_->ShowStatus(QStringLiteral("Waiting for Final X25 Connected Msg"));
    device_->WaitTicks(10);
    if (device_->WaitForString(Expected(17), 1200, 10) != 0)
        return kLogonFailed;
    device_->ShowStatus(QStringLiteral("X25 Connected"));
    return 0;
}

}  // namespace engine
