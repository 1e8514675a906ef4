#include "regengine/sysinfo/SysInfoSources.h"

#include "platform/hardware/Hardware.h"
#include "platform/telephony/Telephony.h"

namespace engine {

namespace {

SysInfoSources& sources()
{
    static SysInfoSources s;
    return s;
}

}  // namespace

const SysInfoSources& GetSysInfoSources()
{
    SysInfoSources& s = sources();
    if (!s.hardware)
        s.hardware = platform::systemHardware();
    return s;
}

void SetSysInfoSources(SysInfoSources replacement)
{
    sources() = std::move(replacement);
}

void ResetSysInfoSources()
{
    sources() = SysInfoSources();
}

platform::Hardware& SysHardware()
{
    return *GetSysInfoSources().hardware;
}

std::unique_ptr<platform::Telephony> SysTelephony()
{
    const SysInfoSources& s = GetSysInfoSources();
    return s.telephony ? s.telephony() : platform::createSystemTelephony();
}

}  // namespace engine
