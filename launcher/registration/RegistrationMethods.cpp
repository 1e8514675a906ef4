#include "launcher/registration/RegistrationMethods.h"

#include "regengine/core/EngineTrace.h"

#include "platform/text/Format.h"

bool RegistrationMethods::Register(const QString& method, QChar& status)
{
    EngineTrace(platform::formatText(QStringLiteral("Register %s: no registration method is available"), method));
    status = u'F';
    return false;
}

void RegistrationMethods::WriteRegStatus(QChar) {}

void RegistrationMethods::SavePrefs() {}

void RegistrationMethods::OnRegistered() {}
