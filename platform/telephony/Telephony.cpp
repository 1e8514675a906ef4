#include "platform/telephony/Telephony.h"

#include "platform/telephony/HayesTelephony.h"

namespace platform {

Telephony::~Telephony() = default;

std::unique_ptr<Telephony> createSystemTelephony()
{
    HayesTelephonyOptions options;
    options.configured = qEnvironmentVariable("OVEX_MODEMS").split(u':', Qt::SkipEmptyParts);
    return std::make_unique<HayesTelephony>(options);
}

}  // namespace platform
