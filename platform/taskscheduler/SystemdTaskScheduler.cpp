#include "platform/taskscheduler/SystemdTaskScheduler.h"

#include "platform/shell/Shell.h"
#include "platform/taskscheduler/SystemdUnits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace platform {
namespace {

// daemon-reload can take a while on a busy manager; a hung bus must not hang the caller.
constexpr int kSystemctlTimeoutMs = 30000;

// Runs `systemctl --user args`; true when it ran and succeeded. Its output is discarded:
// scheduler failures are never shown.
bool systemctl(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(QStringList{QStringLiteral("--user")} + args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(kSystemctlTimeoutMs))
        return false;
    if (!p.waitForFinished(kSystemctlTimeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString findSystemctl()
{
    return QStandardPaths::findExecutable(QStringLiteral("systemctl"));
}

struct UnitNames {
    QString service;
    QString timer;
    QString expiryService;
    QString expiryTimer;

    QStringList all() const { return {service, timer, expiryService, expiryTimer}; }
};

UnitNames unitNames(const QString& folder, const QString& name)
{
    const QString stem = systemd::unitStem(folder, name);
    const QString expiry = systemd::expiryStem(folder, name);
    return {stem + QStringLiteral(".service"), stem + QStringLiteral(".timer"), expiry + QStringLiteral(".service"),
            expiry + QStringLiteral(".timer")};
}

QString wantsLink(const QString& dir, const QString& timer)
{
    return dir + QStringLiteral("/timers.target.wants/") + timer;
}

bool removeIfPresent(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return QFile::remove(path);
}

// Removes what a task left in the folder, the enablement link included, so that a task
// the manager could not take leaves nothing behind that a later login would start.
bool removeUnits(const QString& dir, const UnitNames& units)
{
    bool ok = true;
    for (const QString& unit : units.all())
        ok = removeIfPresent(dir + u'/' + unit) && ok;
    ok = removeIfPresent(wantsLink(dir, units.timer)) && ok;
    return removeIfPresent(wantsLink(dir, units.expiryTimer)) && ok;
}

// Stops and disables the timers among `timers` whose files are in the folder.
void disableTimers(const QString& program, const QString& dir, const QStringList& timers)
{
    for (const QString& timer : timers) {
        if (QFileInfo::exists(dir + u'/' + timer))
            systemctl(program, {QStringLiteral("disable"), QStringLiteral("--now"), timer});
    }
}

bool writeUnit(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = text.toUtf8();
    return file.write(data) == data.size() && file.commit();
}

bool hasNul(const QString& text)
{
    return text.contains(QChar(u'\0'));
}

bool isRunnable(const TaskDefinition& task)
{
    if (!QDir::isAbsolutePath(task.programPath) || hasNul(task.programPath))
        return false;
    for (const QString& argument : task.arguments) {
        if (hasNul(argument))
            return false;
    }
    return true;
}

}  // namespace

SystemdTaskScheduler::SystemdTaskScheduler(QString unitFolder) : unitFolder_(std::move(unitFolder)) {}

QString SystemdTaskScheduler::unitFolder(bool create) const
{
    if (unitFolder_.isEmpty())
        return folderPath(Folder::Config, QStringLiteral("systemd/user"), create);
    if (create && !QDir().mkpath(unitFolder_))
        return {};
    return QFileInfo(unitFolder_).isDir() ? unitFolder_ : QString();
}

TaskStatus SystemdTaskScheduler::registerTask(const QString& folder, const QString& name, const TaskDefinition& task)
{
    if (name.trimmed().isEmpty() || hasNul(name) || hasNul(folder) || !isRunnable(task) ||
        (task.deleteExpiredAfter && task.deleteExpiredAfter->count() < 0))
        return TaskStatus::InvalidDefinition;
    TaskDefinition effective = task;
    QStringList calendars;
    if (task.trigger) {
        const std::optional<QStringList> expressions = systemd::calendarExpressions(*task.trigger);
        if (!expressions)
            return TaskStatus::InvalidDefinition;
        calendars = *expressions;
        // A trigger with no run left is a task that only runs when started by hand.
        if (calendars.isEmpty())
            effective.trigger.reset();
    }

    const QString program = findSystemctl();
    if (program.isEmpty())
        return TaskStatus::ServiceUnavailable;
    const QString dir = unitFolder(true);
    if (dir.isEmpty())
        return TaskStatus::WriteFailed;

    const UnitNames units = unitNames(folder, name);
    const QString taskPath = u'\\' + (systemd::folderParts(folder) << name).join(u'\\');
    const QString timerPath = dir + u'/' + units.timer;
    const QString expiryTimerPath = dir + u'/' + units.expiryTimer;
    const QString expiryCalendar = systemd::expiryCalendar(effective);
    // Replacing: the old timers stop first. The service is never stopped: the program
    // replacing its own task may be the run it started.
    disableTimers(program, dir, {units.timer, units.expiryTimer});

    bool written = writeUnit(dir + u'/' + units.service, systemd::serviceUnit(taskPath, effective));
    if (written && effective.trigger)
        written = writeUnit(timerPath, systemd::timerUnit(taskPath, effective, calendars));
    else if (written)
        written = removeIfPresent(timerPath) && removeIfPresent(wantsLink(dir, units.timer));
    if (written && !expiryCalendar.isEmpty()) {
        const systemd::ExecCommand removal = systemd::removalCommand(QFileInfo(program).absoluteFilePath(),
                                                                     QFileInfo(dir).absoluteFilePath(), units.all());
        written =
            writeUnit(dir + u'/' + units.expiryService, systemd::expiryServiceUnit(taskPath, effective, removal)) &&
            writeUnit(expiryTimerPath, systemd::expiryTimerUnit(taskPath, effective, expiryCalendar));
    } else if (written) {
        written = removeIfPresent(dir + u'/' + units.expiryService) && removeIfPresent(expiryTimerPath) &&
                  removeIfPresent(wantsLink(dir, units.expiryTimer));
    }
    if (!written) {
        removeUnits(dir, units);
        systemctl(program, {QStringLiteral("daemon-reload")});
        return TaskStatus::WriteFailed;
    }

    if (!systemctl(program, {QStringLiteral("daemon-reload")})) {
        removeUnits(dir, units);
        return TaskStatus::ServiceUnavailable;
    }
    if (effective.trigger && !systemctl(program, {QStringLiteral("enable"), QStringLiteral("--now"), units.timer})) {
        removeUnits(dir, units);
        systemctl(program, {QStringLiteral("daemon-reload")});
        return TaskStatus::ServiceUnavailable;
    }
    if (!expiryCalendar.isEmpty() &&
        !systemctl(program, {QStringLiteral("enable"), QStringLiteral("--now"), units.expiryTimer})) {
        // The task's timer is running by now; a task that cannot remove itself goes whole.
        systemctl(program, {QStringLiteral("disable"), QStringLiteral("--now"), units.timer});
        removeUnits(dir, units);
        systemctl(program, {QStringLiteral("daemon-reload")});
        return TaskStatus::ServiceUnavailable;
    }
    return TaskStatus::Ok;
}

TaskStatus SystemdTaskScheduler::deleteTask(const QString& folder, const QString& name)
{
    if (name.trimmed().isEmpty())
        return TaskStatus::NotFound;
    const QString dir = unitFolder(false);
    if (dir.isEmpty())
        return TaskStatus::NotFound;
    const UnitNames units = unitNames(folder, name);
    const QStringList all = units.all();
    if (std::none_of(all.begin(), all.end(), [&](const QString& unit) { return QFileInfo::exists(dir + u'/' + unit); }))
        return TaskStatus::NotFound;

    const QString program = findSystemctl();
    if (!program.isEmpty())
        disableTimers(program, dir, {units.timer, units.expiryTimer});
    if (!removeUnits(dir, units))
        return TaskStatus::WriteFailed;
    if (!program.isEmpty())
        systemctl(program, {QStringLiteral("daemon-reload")});
    return TaskStatus::Ok;
}

TaskStatus SystemdTaskScheduler::deleteFolder(const QString& folder)
{
    const QString prefix = systemd::folderPrefix(folder);
    if (prefix.isEmpty())
        return TaskStatus::InvalidDefinition;  // the root folder stays
    const QString dir = unitFolder(false);
    if (dir.isEmpty())
        return TaskStatus::Ok;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& entry : entries) {
        if (!entry.startsWith(prefix))
            continue;
        for (const QString& suffix : {QStringLiteral(".service"), QStringLiteral(".timer")}) {
            // Expiry units belong to a task and are no task of their own, though they
            // share their start with the folder named like that task.
            if (entry.endsWith(suffix) && !systemd::isExpiryStem(entry.chopped(suffix.size())))
                return TaskStatus::FolderNotEmpty;
        }
    }
    return TaskStatus::Ok;
}

}  // namespace platform
