#include "client/ScheduledTask.h"

#include "client/Trace.h"

// The task definition on the user's service manager comes with the scheduler layer; until
// then a request is only traced.
void ScheduleCheckTask(int frequency, const QString& startText)
{
    qCInfo(lcClient) << "Check task requested, frequency" << frequency << "start" << startText;
}

void DeleteCheckTask()
{
    qCInfo(lcClient) << "Check task removal requested";
}

int FrequencyFromSetting(const QString& value)
{
    bool ok = false;
    const int frequency = value.trimmed().toInt(&ok);
    return ok && frequency >= 1 && frequency <= 3 ? frequency : 0;
}
