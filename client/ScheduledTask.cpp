#include "client/ScheduledTask.h"

#include "client/Globals.h"
#include "client/RecordMap.h"
#include "client/ResString.h"
#include "client/Trace.h"
#include "platform/nls/Nls.h"
#include "platform/shell/Shell.h"

#include <chrono>

namespace client {

using platform::TaskStatus;
using platform::TaskTrigger;

namespace {

enum Frequency { Daily = 0, Weekly = 1, Monthly = 2, Manual = 3 };

QString TaskName()
{
    QString user = platform::userName();
    if (user.isEmpty())
        user = QStringLiteral("???");
    return QStringLiteral("New Message Check - ") + user;
}

QString TaskFolder()
{
    return client::kMakerName + u'\\' + client::kProductName;
}

// Qt's addMonths and addYears keep the day when the target month has it and take the
// month's last day otherwise: 31 January plus a month is the end of February, and
// 29 February plus a year is 28 February, never a day that does not exist.
QDateTime DefaultStart(int frequency, const QDateTime& now)
{
    switch (frequency) {
    case Weekly: return now.addSecs(604800);
    case Monthly: return QDateTime(now.date().addMonths(1), now.time());
    default: return now.addSecs(86400);
    }
}

TaskTrigger CheckTrigger(int frequency, const QDateTime& start, const QDateTime& now)
{
    TaskTrigger trigger;
    trigger.id = QStringLiteral("Trigger1");
    trigger.start = start;
    trigger.end = QDateTime(start.date().addYears(1), start.time());
    trigger.randomDelay = std::chrono::minutes(15);
    const QDate today = now.date();
    switch (frequency) {
    case Weekly:
        trigger.type = TaskTrigger::Type::Weekly;
        trigger.weeksInterval = 1;
        trigger.daysOfWeek = 1u << (today.dayOfWeek() % 7);  // Qt's Sunday is 7; ours is bit 0
        break;
    case Monthly:
        trigger.type = TaskTrigger::Type::Monthly;
        trigger.monthsOfYear = 0xFFF;
        // Days 29 to 31 are missing from some months; those tasks run on every last day.
        if (today.day() <= 28)
            trigger.daysOfMonth = 1u << (today.day() - 1);
        else
            trigger.runOnLastDayOfMonth = true;
        break;
    default:
        trigger.type = TaskTrigger::Type::Daily;
        trigger.daysInterval = 1;
        break;
    }
    return trigger;
}

}  // namespace

TaskStatus ScheduleCheckTask(int frequency, const QString& startText)
{
    return ScheduleCheckTask(frequency, startText, QDateTime::currentDateTime());
}

TaskStatus ScheduleCheckTask(int frequency, const QString& startText, const QDateTime& now)
{
    // Boundaries are whole seconds of local time.
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch());

    platform::TaskDefinition task;
    task.author = ResString(105);
    task.description = ResString(106);
    task.runOnlyIfNetworkAvailable = true;
    task.startWhenAvailable = true;
    task.programPath = platform::modulePath();
    task.arguments = QStringList{QStringLiteral("/auto")};

    if (frequency == Daily || frequency == Weekly || frequency == Monthly) {
        const qint64 given = startText.isEmpty() ? -1 : ParseIsoDateTime(startText);
        const QDateTime start = given != -1 ? QDateTime::fromSecsSinceEpoch(given) : DefaultStart(frequency, moment);
        task.trigger = CheckTrigger(frequency, start, moment);
        // An expired task would otherwise stay in the user's list for good.
        task.deleteExpiredAfter = std::chrono::days(1);
    }

    QString error;
    const TaskStatus status = platform::taskScheduler().registerTask(TaskFolder(), TaskName(), task, &error);
    qCDebug(lcClient).noquote() << "Check task, frequency" << frequency << "start" << startText << "status"
                                << int(status) << error;
    return status;
}

TaskStatus DeleteCheckTask()
{
    const QString folder = TaskFolder();
    QString error;
    TaskStatus status = platform::taskScheduler().deleteTask(folder, TaskName(), &error);
    if (status == TaskStatus::Ok)
        status = platform::taskScheduler().deleteFolder(folder, &error);
    qCDebug(lcClient).noquote() << "Check task removal, status" << int(status) << error;
    return status;
}

int FrequencyFromSetting(const QString& value)
{
    bool ok = false;
    const int frequency = value.trimmed().toInt(&ok);
    return ok && frequency >= Weekly && frequency <= Manual ? frequency : Daily;
}

}  // namespace client
