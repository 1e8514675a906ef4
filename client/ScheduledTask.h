#pragma once

#include <QString>

// The scheduled check task that starts the client with "/auto".
// frequency: 0 daily, 1 weekly, 2 monthly, 3 manual (no trigger). startText: a local
// time "%Y-%m-%dT%H:%M:%S", or empty for a day from now.
void ScheduleCheckTask(int frequency, const QString& startText);
void DeleteCheckTask();

// The frequency the setting "UpdateFrequency" names: "1", "2" and "3" stand for
// themselves, anything else is daily (0).
int FrequencyFromSetting(const QString& value);
