#include "launcher/reminders/Reminders.h"

#include "regengine/core/EngineTrace.h"

using namespace engine;

namespace launcher {

bool Reminders::ScheduleReminder(bool)
{
    EngineTrace(QStringLiteral("ScheduleReminder: reminders are not available"));
    return false;
}

void Reminders::SetReminder() {}

void Reminders::DeleteReminder() {}

}  // namespace launcher
