// The client's check task: the definition it asks for, and what the systemd scheduler
// makes of it, judged by systemd-analyze.
#include "client/ScheduledTask.h"
#include "platform/nls/Nls.h"
#include "platform/shell/Shell.h"
#include "platform/taskscheduler/SystemdUnits.h"
#include "tests/support/RecordingScheduler.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/FakeSystemctl.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <algorithm>
#include <functional>

#include <vector>

using namespace client;

using platform::TaskDefinition;
using platform::TaskStatus;
using platform::TaskTrigger;
using systemdtest::FakeSystemctl;

namespace {

const QString kFolder = QStringLiteral("Ovex\\Ovex Kelvo");

QString taskName()
{
    return QStringLiteral("New Message Check - ") + platform::userName();
}
QString stem()
{
    return platform::systemd::unitStem(kFolder, taskName());
}
QString expiryStem()
{
    return platform::systemd::expiryStem(kFolder, taskName());
}
QString unitPath(const QString& suffix)
{
    return systemdtest::unitFolder() + u'/' + stem() + suffix;
}
QString unitText(const QString& suffix)
{
    return QString::fromUtf8(testsupport::readFile(unitPath(suffix)));
}
QString expiryPath(const QString& suffix)
{
    return systemdtest::unitFolder() + u'/' + expiryStem() + suffix;
}
QString expiryText(const QString& suffix)
{
    return QString::fromUtf8(testsupport::readFile(expiryPath(suffix)));
}

QDateTime at(int y, int m, int d, int h = 10, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// Records what the client registers instead of scheduling it.
using CapturingScheduler = testsupport::RecordingScheduler;

// ---- The definition ---------------------------------------------------------------

TEST(CheckTaskDefinition, NamesSettingsAndAction)
{
    CapturingScheduler scheduler;
    ASSERT_EQ(ScheduleCheckTask(0, QString(), at(2028, 1, 31)), TaskStatus::Ok);
    ASSERT_EQ(scheduler.calls, QStringList{"register Ovex\\Ovex Kelvo|" + taskName()});
    const TaskDefinition& t = scheduler.tasks.at(0);
    EXPECT_EQ(t.author, "Ovex Inc.");
    EXPECT_EQ(t.description, "Checks online for new messages for the products you have registered.");
    EXPECT_TRUE(t.runOnlyIfNetworkAvailable);
    EXPECT_TRUE(t.startWhenAvailable);
    EXPECT_EQ(t.programPath, platform::modulePath());
    EXPECT_EQ(t.arguments, QStringList{"/auto"});
    ASSERT_TRUE(t.trigger.has_value());
    EXPECT_EQ(t.trigger->id, "Trigger1");
    EXPECT_EQ(t.trigger->randomDelay, std::chrono::seconds(900));
    EXPECT_EQ(t.deleteExpiredAfter, std::optional<std::chrono::seconds>(86400));
}

// Start and end boundaries and the days, by frequency. The end is a year after the start
// on the same day and time, 28 February for a 29 February start; a monthly start on a day
// the next month lacks falls on that month's last day.
TEST(CheckTaskDefinition, BoundariesAndDaysByFrequency)
{
    using Type = TaskTrigger::Type;
    const struct {
        const char* what;
        int frequency;
        QDateTime now;
        const char* startText;
        Type type;
        QDateTime start, end;
        unsigned days;  // weekly: days of week; monthly: days of month
        bool lastDay;
    } cases[] = {
        {"daily: a day from now", 0, at(2028, 1, 31), "", Type::Daily, at(2028, 2, 1), at(2029, 2, 1), 0, false},
        {"daily from a given time on a leap day", 0, at(2028, 1, 5), "2028-02-29T09:00:00", Type::Daily,
         at(2028, 2, 29, 9), at(2029, 2, 28, 9), 0, false},
        {"a date without a time is midnight", 0, at(2028, 1, 5), "2028-03-01", Type::Daily, at(2028, 3, 1, 0),
         at(2029, 3, 1, 0), 0, false},
        {"a start that is no date counts as none", 0, at(2028, 1, 5), "2028-02-30T10:00:00", Type::Daily,
         at(2028, 1, 6), at(2029, 1, 6), 0, false},
        {"weekly on today's weekday, Monday", 1, at(2028, 1, 31), "", Type::Weekly, at(2028, 2, 7), at(2029, 2, 7), 2,
         false},
        {"weekly on a Sunday", 1, at(2028, 1, 30), "", Type::Weekly, at(2028, 2, 6), at(2029, 2, 6), 1, false},
        {"monthly from the 31st: the end of a leap February", 2, at(2028, 1, 31), "", Type::Monthly, at(2028, 2, 29),
         at(2029, 2, 28), 0, true},
        {"monthly from the 30th: the end of February", 2, at(2027, 1, 30), "", Type::Monthly, at(2027, 2, 28),
         at(2028, 2, 28), 0, true},
        {"monthly from the 29th, next month has it", 2, at(2028, 3, 29), "", Type::Monthly, at(2028, 4, 29),
         at(2029, 4, 29), 0, true},
        {"monthly in December: January next year", 2, at(2028, 12, 15), "", Type::Monthly, at(2029, 1, 15),
         at(2030, 1, 15), 1u << 14, false},
        {"monthly on the 28th keeps its day", 2, at(2028, 1, 28), "", Type::Monthly, at(2028, 2, 28), at(2029, 2, 28),
         1u << 27, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CapturingScheduler scheduler;
        ScheduleCheckTask(c.frequency, QString::fromLatin1(c.startText), c.now.addMSecs(456));
        ASSERT_EQ(scheduler.tasks.size(), 1u);
        ASSERT_TRUE(scheduler.tasks[0].trigger.has_value());
        const TaskTrigger& t = *scheduler.tasks[0].trigger;
        EXPECT_EQ(t.type, c.type);
        EXPECT_EQ(t.start, c.start);
        EXPECT_EQ(t.end, c.end);
        EXPECT_EQ(c.type == Type::Weekly ? t.daysOfWeek : t.daysOfMonth, c.days);
        EXPECT_EQ(t.runOnLastDayOfMonth, c.lastDay);
        if (c.type == Type::Monthly) {
            EXPECT_EQ(t.monthsOfYear, 0xFFFu);
        }
    }
}

TEST(CheckTaskDefinition, ManualAndUnknownFrequenciesHaveNoTrigger)
{
    for (int frequency : {3, 4, -1}) {
        CapturingScheduler scheduler;
        ScheduleCheckTask(frequency, QStringLiteral("2028-02-29T09:00:00"), at(2028, 1, 5));
        ASSERT_EQ(scheduler.tasks.size(), 1u);
        EXPECT_FALSE(scheduler.tasks[0].trigger.has_value()) << frequency;
    }
}

TEST(CheckTaskDefinition, DeleteRemovesTaskThenFolder)
{
    CapturingScheduler scheduler;
    EXPECT_EQ(DeleteCheckTask(), TaskStatus::Ok);
    EXPECT_EQ(scheduler.calls,
              (QStringList{"delete Ovex\\Ovex Kelvo|" + taskName(), "delete folder Ovex\\Ovex Kelvo"}));
    // A failure ends the removal there.
    scheduler.calls.clear();
    scheduler.deleteStatus = TaskStatus::NotFound;
    EXPECT_EQ(DeleteCheckTask(), TaskStatus::NotFound);
    EXPECT_EQ(scheduler.calls, QStringList{"delete Ovex\\Ovex Kelvo|" + taskName()});
}

TEST(CheckTaskDefinition, FrequencyFromSetting)
{
    const struct {
        const char* value;
        int frequency;
    } cases[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 0}, {"-1", 0}, {"", 0}, {"weekly", 0}, {" 2 ", 2}};
    for (const auto& c : cases)
        EXPECT_EQ(FrequencyFromSetting(QString::fromLatin1(c.value)), c.frequency) << c.value;
}

// ---- As systemd runs it -------------------------------------------------------------------

// The runs systemd computes from the written timer: the first at the start boundary (or
// the first last day of a month on or after it), none at or after the end; and the task's
// removal a day after the end, at its time of day even across a clock change.
TEST(CheckTaskUnits, RunsAsSystemdComputesThem)
{
    const auto all = [](const QDateTime&) { return true; };
    const auto lastDays = [](const QDateTime& t) { return t.date().day() == t.date().daysInMonth(); };
    const auto mondays = [](const QDateTime& t) { return t.date().dayOfWeek() == 1; };
    const struct {
        const char* what;
        int frequency;
        QDateTime now;
        const char* startText;
        QDateTime first, last;
        int count;
        std::function<bool(const QDateTime&)> each;
        QDateTime removal;
    } cases[] = {
        {"daily for a leap year", 0, at(2028, 1, 31), "", at(2028, 2, 1), at(2029, 1, 31), 366, all, at(2029, 2, 2)},
        {"/schedule on a leap day", 0, at(2028, 2, 15), "2028-02-29T09:00:00", at(2028, 2, 29, 9), at(2029, 2, 27, 9),
         365, all, at(2029, 3, 1, 9)},
        {"daily, clocks go forward the night after the end", 0, at(2028, 3, 23), "", at(2028, 3, 24), at(2029, 3, 23),
         365, all, at(2029, 3, 25)},
        {"weekly, a leap year's 53 Mondays", 1, at(2028, 1, 31), "", at(2028, 2, 7), at(2029, 2, 5), 53, mondays,
         at(2029, 2, 8)},
        {"monthly from 31 January", 2, at(2028, 1, 31), "", at(2028, 2, 29), at(2029, 1, 31), 12, lastDays,
         at(2029, 3, 1)},
        {"monthly from 30 January, removed on a leap day", 2, at(2027, 1, 30), "", at(2027, 2, 28), at(2028, 1, 31), 12,
         lastDays, at(2028, 2, 29)},
        {"monthly from 29 March", 2, at(2028, 3, 29), "", at(2028, 4, 30), at(2029, 3, 31), 12, lastDays,
         at(2029, 4, 30)},
        {"monthly from the 15th", 2, at(2028, 6, 15), "", at(2028, 7, 15), at(2029, 6, 15), 12,
         [](const QDateTime& t) { return t.date().day() == 15; }, at(2029, 7, 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystemctl systemctl;
        ASSERT_EQ(ScheduleCheckTask(c.frequency, QString::fromLatin1(c.startText), c.now), TaskStatus::Ok);
        const systemdtest::Verify v = systemdtest::verifyUnits(
            {unitPath(".service"), unitPath(".timer"), expiryPath(".service"), expiryPath(".timer")});
        EXPECT_EQ(v.exitCode, 0) << v.output.toStdString();
        EXPECT_EQ(v.output, QString());
        EXPECT_EQ(systemdtest::calendarElapses(systemdtest::unitValues(expiryText(".timer"), "OnCalendar"), c.first),
                  QList<QDateTime>{c.removal});

        const QList<QDateTime> runs = systemdtest::calendarElapses(
            systemdtest::unitValues(unitText(".timer"), "OnCalendar"), c.first.addDays(-40));
        ASSERT_FALSE(runs.isEmpty());
        EXPECT_EQ(runs.first(), c.first);
        EXPECT_EQ(runs.last(), c.last);
        EXPECT_EQ(runs.size(), c.count);
        EXPECT_TRUE(std::all_of(runs.begin(), runs.end(), c.each));
        EXPECT_TRUE(
            std::all_of(runs.begin(), runs.end(), [&](const QDateTime& t) { return t.time() == c.first.time(); }));
    }
}

// Whatever the frequency, the units end the task a year after its start: the timer has
// no run left and the service refuses a late catch-up run.
TEST(CheckTaskUnits, EndBoundaryGuardsTheService)
{
    FakeSystemctl systemctl;
    ASSERT_EQ(ScheduleCheckTask(0, QStringLiteral("2028-02-29T09:00:00"), at(2028, 2, 1)), TaskStatus::Ok);
    const QStringList conditions = systemdtest::unitValues(unitText(".service"), "ExecCondition");
    ASSERT_FALSE(conditions.isEmpty());
    const QStringList guard = systemdtest::splitExecLine(conditions.first());
    EXPECT_EQ(guard.last(), QString::number(at(2029, 2, 28, 9).toSecsSinceEpoch()));
}

TEST(CheckTaskUnits, ReplaceManualAndDelete)
{
    FakeSystemctl systemctl;
    const QString timer = stem() + ".timer";
    const QString expiryTimer = expiryStem() + ".timer";
    ASSERT_EQ(ScheduleCheckTask(0, QString(), at(2028, 1, 31)), TaskStatus::Ok);
    ASSERT_EQ(ScheduleCheckTask(2, QString(), at(2028, 1, 31)), TaskStatus::Ok);
    EXPECT_EQ(systemdtest::unitFiles(".timer"), (QStringList{expiryTimer, timer}));

    // Manual: the task stays, its trigger and with it its removal go.
    systemctl.clearCalls();
    ASSERT_EQ(ScheduleCheckTask(FrequencyFromSetting(QStringLiteral("3")), QString(), at(2028, 1, 31)), TaskStatus::Ok);
    EXPECT_EQ(systemctl.calls(), (QStringList{"--user disable --now " + timer, "--user disable --now " + expiryTimer,
                                              "--user daemon-reload"}));
    EXPECT_TRUE(systemdtest::unitFiles(".timer").isEmpty());
    EXPECT_EQ(systemdtest::unitFiles(".service"), QStringList{stem() + ".service"});

    ASSERT_EQ(ScheduleCheckTask(0, QString(), at(2028, 1, 31)), TaskStatus::Ok);
    ASSERT_EQ(DeleteCheckTask(), TaskStatus::Ok);
    EXPECT_TRUE(systemdtest::unitFiles("").isEmpty());
    EXPECT_EQ(DeleteCheckTask(), TaskStatus::NotFound);
}

// No user manager: no task and only a status, which the callers ignore.
TEST(CheckTaskUnits, WithoutAServiceManagerNothingIsLeft)
{
    {
        FakeSystemctl systemctl;
        systemctl.failOn(QStringLiteral("daemon-reload"));
        EXPECT_EQ(ScheduleCheckTask(0, QString(), at(2028, 1, 31)), TaskStatus::ServiceUnavailable);
    }
    FakeSystemctl systemctl;
    systemctl.uninstall();
    EXPECT_EQ(ScheduleCheckTask(0, QString(), at(2028, 1, 31)), TaskStatus::ServiceUnavailable);
    EXPECT_EQ(DeleteCheckTask(), TaskStatus::NotFound);
    EXPECT_TRUE(systemdtest::unitFiles("").isEmpty());
}

// The built program with "/schedule", as the launcher starts it: the task runs this
// very program with "/auto", first at the given time.
TEST(CheckTaskProcess, ScheduleSwitchCreatesTheTask)
{
    FakeSystemctl systemctl;
    const QString program = testsupport::programPath(QStringLiteral("OvexKelvo"));
    const testsupport::RunResult r =
        testsupport::runProgram(program, {QStringLiteral("/schedule"), QStringLiteral("2028-02-29T09:00:00")});
    ASSERT_FALSE(r.crashed || r.timedOut) << r.err.toStdString();

    const QStringList exec = systemdtest::unitValues(unitText(".service"), "ExecStart");
    ASSERT_EQ(exec.size(), 1);
    EXPECT_EQ(systemdtest::splitExecLine(exec.first()),
              (QStringList{QFileInfo(program).canonicalFilePath(), QStringLiteral("/auto")}));
    const QList<QDateTime> runs =
        systemdtest::calendarElapses(systemdtest::unitValues(unitText(".timer"), "OnCalendar"), at(2028, 2, 1));
    ASSERT_FALSE(runs.isEmpty());
    EXPECT_EQ(runs.first(), at(2028, 2, 29, 9));
    EXPECT_EQ(systemctl.calls(), (QStringList{"--user daemon-reload", "--user enable --now " + stem() + ".timer",
                                              "--user enable --now " + expiryStem() + ".timer"}));
}

}  // namespace
