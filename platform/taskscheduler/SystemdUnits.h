#pragma once

#include "platform/taskscheduler/TaskScheduler.h"

#include <QString>
#include <QStringList>

#include <optional>

// How a task is written as systemd user units: names, command lines, calendars and the
// unit texts. Pure text work; SystemdTaskScheduler does the files and systemctl.
namespace platform::systemd {

// systemd-escape of one name: [A-Za-z0-9:_.] stay (a leading '.' does not), every other
// byte of the UTF-8 form becomes \xNN.
QString escapeName(const QString& text);

// The parts of a folder path ("Maker\Product", slashes also accepted), empty ones dropped.
QStringList folderParts(const QString& folder);

// The unit name of a task without its suffix: the folder parts and the task name, each
// escaped, joined by '-', so `systemd-escape -u --path` gives "Maker/Product/Name" back.
// Names too long for a unit are cut and made unique with a hash.
QString unitStem(const QString& folder, const QString& name);
// The start every unit name of the folder's tasks shares.
QString folderPrefix(const QString& folder);

// The unit name, without suffix, of the units that remove an expiring task. It ends in
// "--expire", as no task's stem does (their parts are never empty), so it is never taken
// for a task: `systemd-escape -u --path` refuses it.
QString expiryStem(const QString& folder, const QString& name);
bool isExpiryStem(const QString& stem);

// A program and its arguments, as the kernel gets them.
struct ExecCommand {
    QString program;
    QStringList arguments;
};

// The value of an Exec line that hands `command` over unchanged: ':' turns variable
// expansion off, every word is quoted and '%' doubled.
QString execLine(const ExecCommand& command);

// The command that starts `program`. systemd refuses quotes, backslashes and control
// characters in an executable's name, so such a path is passed through /bin/sh instead.
ExecCommand startCommand(const QString& program, const QStringList& arguments);

// Conditions checked before each run; a failed one skips the run without an error.
ExecCommand endCondition(const QDateTime& end);  // the trigger has not ended yet
ExecCommand sessionCondition();                  // the manager knows the user's display
// A default route other than the loopback one, IPv4 or IPv6.
ExecCommand networkCondition(const QString& routes = QStringLiteral("/proc/net/route"),
                             const QString& routes6 = QStringLiteral("/proc/net/ipv6_route"));

// Removes a task: disables the timers among `units` with `systemctl` (an absolute path),
// deletes the files `units` in `unitFolder` with their timers.target.wants links, then
// reloads the manager. The names are arguments, never part of the script.
ExecCommand removalCommand(const QString& systemctl, const QString& unitFolder, const QStringList& units);

// OnCalendar expressions for exactly the runs of `trigger` (empty when it has none, as
// when the start is not before the end); nullopt when the trigger is malformed.
std::optional<QStringList> calendarExpressions(const TaskTrigger& trigger);

// The unit texts. `taskPath` is the task's full name, for people reading the files.
QString serviceUnit(const QString& taskPath, const TaskDefinition& task);
QString timerUnit(const QString& taskPath, const TaskDefinition& task, const QStringList& calendars);

// The OnCalendar expression of the moment an expiring task removes itself; empty when
// the task has no trigger or does not expire.
QString expiryCalendar(const TaskDefinition& task);
// The units that remove an expired task: a oneshot service running `removal`, and its
// timer, which catches up at the next start when the machine was off.
QString expiryServiceUnit(const QString& taskPath, const TaskDefinition& task, const ExecCommand& removal);
QString expiryTimerUnit(const QString& taskPath, const TaskDefinition& task, const QString& calendar);

}  // namespace platform::systemd
