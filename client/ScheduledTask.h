#pragma once

#include "platform/taskscheduler/TaskScheduler.h"

#include <QDateTime>
#include <QString>

namespace client {

// The user's scheduled check task, which starts the client with "/auto". Failures are
// returned, never shown; the callers ignore them.

// Creates or replaces the task. frequency: 0 daily, 1 weekly, 2 monthly, 3 (or any other)
// manual, which leaves a task without a trigger. startText: a date text for the first
// run, or empty for a day, a week or a month from now by the frequency.
platform::TaskStatus ScheduleCheckTask(int frequency, const QString& startText);
// The same at a given moment, so that tests do not depend on the clock.
platform::TaskStatus ScheduleCheckTask(int frequency, const QString& startText, const QDateTime& now);

// Removes the task and its folder.
platform::TaskStatus DeleteCheckTask();

// The frequency the setting "UpdateFrequency" names: "1", "2" and "3" stand for
// themselves, anything else is daily (0).
int FrequencyFromSetting(const QString& value);

}  // namespace client
