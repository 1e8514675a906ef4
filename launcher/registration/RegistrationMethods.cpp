#include "launcher/registration/RegistrationMethods.h"

#include "regengine/core/EngineTrace.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

bool RegistrationMethods::Register(const QString& method, QChar& status)
{
    EngineTrace(platform::formatText(QStringLiteral("Register %s: no registration method is available"), method));
    status = u'F';
    return false;
}

void RegistrationMethods::WriteRegStatus(QChar) {}

void RegistrationMethods::SavePrefs() {}

void RegistrationMethods::OnRegistered() {}

}  // namespace launcher
