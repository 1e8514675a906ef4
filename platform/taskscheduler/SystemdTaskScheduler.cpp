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

void setError(QString* error, const QString& text)
{
    if (error != nullptr)
        *error = text;
}

// Runs `systemctl --user args`; true when it ran and succeeded. Its output is discarded;
// what it says on stderr goes into the message of a failure.
bool systemctl(const QString& program, const QStringList& args, QString* error = nullptr)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(QStringList{QStringLiteral("--user")} + args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    const QString call = program + u' ' + p.arguments().join(u' ');
    p.start();
    if (!p.waitForStarted(kSystemctlTimeoutMs)) {
        setError(error, QStringLiteral("Unable to run %1: %2").arg(call, p.errorString()));
        return false;
    }
    if (!p.waitForFinished(kSystemctlTimeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        setError(error,
                 QStringLiteral("%1 did not finish within %2 seconds").arg(call).arg(kSystemctlTimeoutMs / 1000));
        return false;
    }
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    const QString said = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    QString text = p.exitStatus() == QProcess::NormalExit
                       ? QStringLiteral("%1 failed with exit code %2").arg(call).arg(p.exitCode())
                       : QStringLiteral("%1 crashed").arg(call);
    if (!said.isEmpty())
        text += QStringLiteral(": ") + said;
    setError(error, text);
    return false;
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

bool removeIfPresent(const QString& path, QString* error = nullptr)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QFile file(path);
    if (file.remove())
        return true;
    setError(error, QStringLiteral("Unable to remove unit file %1: %2").arg(path, file.errorString()));
    return false;
}

// Removes what a task left in the folder, the enablement link included, so that a task
// the manager could not take leaves nothing behind that a later login would start. The
// message is the first failure's.
bool removeUnits(const QString& dir, const UnitNames& units, QString* error = nullptr)
{
    QStringList paths;
    for (const QString& unit : units.all())
        paths << dir + u'/' + unit;
    paths << wantsLink(dir, units.timer) << wantsLink(dir, units.expiryTimer);
    bool ok = true;
    for (const QString& path : paths)
        ok = removeIfPresent(path, ok ? error : nullptr) && ok;
    return ok;
}

// Stops and disables the timers among `timers` whose files are in the folder.
void disableTimers(const QString& program, const QString& dir, const QStringList& timers)
{
    for (const QString& timer : timers) {
        if (QFileInfo::exists(dir + u'/' + timer))
            systemctl(program, {QStringLiteral("disable"), QStringLiteral("--now"), timer});
    }
}

bool writeUnit(const QString& path, const QString& text, QString* error)
{
    QSaveFile file(path);
    const QByteArray data = text.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    setError(error, QStringLiteral("Unable to write unit file %1: %2").arg(path, file.errorString()));
    return false;
}

// Why `path` could not be made a folder, as far as can be told afterwards: the nearest
// thing on the way that is there and is no folder, or is a folder that cannot be written.
QString folderFailure(const QString& path)
{
    QFileInfo info(path);
    while (!info.exists() && !info.isSymLink() && !info.isRoot())
        info = QFileInfo(info.absolutePath());
    if (info.exists() && !info.isDir())
        return QStringLiteral(": %1 is not a folder").arg(info.absoluteFilePath());
    if (info.isDir() && !info.isWritable())
        return QStringLiteral(": %1 is not writable").arg(info.absoluteFilePath());
    return {};
}

bool hasNul(const QString& text)
{
    return text.contains(QChar(u'\0'));
}

// Why the scheduler cannot take the task as it stands; empty when it can.
QString definitionFault(const QString& folder, const QString& name, const TaskDefinition& task)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("A task in folder %1 has no name").arg(folder);
    if (hasNul(name) || hasNul(folder))
        return QStringLiteral("The name of task %1 in folder %2 holds a NUL character").arg(name, folder);
    if (hasNul(task.programPath) || std::any_of(task.arguments.begin(), task.arguments.end(), hasNul))
        return QStringLiteral("The command line of task %1 holds a NUL character").arg(name);
    if (!QDir::isAbsolutePath(task.programPath))
        return QStringLiteral("The program %1 of task %2 is not an absolute path").arg(task.programPath, name);
    if (task.deleteExpiredAfter && task.deleteExpiredAfter->count() < 0)
        return QStringLiteral("Task %1 would remove itself before its trigger ends").arg(name);
    return {};
}

}  // namespace

SystemdTaskScheduler::SystemdTaskScheduler(QString unitFolder) : unitFolder_(std::move(unitFolder)) {}

QString SystemdTaskScheduler::unitFolder(bool create, QString* error) const
{
    if (unitFolder_.isEmpty())
        return folderPath(Folder::Config, QStringLiteral("systemd/user"), create, create ? error : nullptr);
    if (create && !QDir().mkpath(unitFolder_)) {
        setError(error,
                 QStringLiteral("Unable to create unit folder %1").arg(unitFolder_) + folderFailure(unitFolder_));
        return {};
    }
    return QFileInfo(unitFolder_).isDir() ? unitFolder_ : QString();
}

TaskStatus SystemdTaskScheduler::registerTask(const QString& folder, const QString& name, const TaskDefinition& task,
                                              QString* error)
{
    if (const QString fault = definitionFault(folder, name, task); !fault.isEmpty()) {
        setError(error, fault);
        return TaskStatus::InvalidDefinition;
    }
    TaskDefinition effective = task;
    QStringList calendars;
    if (task.trigger) {
        const std::optional<QStringList> expressions = systemd::calendarExpressions(*task.trigger);
        if (!expressions) {
            setError(error, QStringLiteral("Trigger %1 of task %2 is malformed").arg(task.trigger->id, name));
            return TaskStatus::InvalidDefinition;
        }
        calendars = *expressions;
        // A trigger with no run left is a task that only runs when started by hand.
        if (calendars.isEmpty())
            effective.trigger.reset();
    }

    const QString program = findSystemctl();
    if (program.isEmpty()) {
        setError(error, QStringLiteral("Unable to register task %1: no systemctl on PATH").arg(name));
        return TaskStatus::ServiceUnavailable;
    }
    const QString dir = unitFolder(true, error);
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

    bool written = writeUnit(dir + u'/' + units.service, systemd::serviceUnit(taskPath, effective), error);
    if (written && effective.trigger)
        written = writeUnit(timerPath, systemd::timerUnit(taskPath, effective, calendars), error);
    else if (written)
        written = removeIfPresent(timerPath, error) && removeIfPresent(wantsLink(dir, units.timer), error);
    if (written && !expiryCalendar.isEmpty()) {
        const systemd::ExecCommand removal = systemd::removalCommand(QFileInfo(program).absoluteFilePath(),
                                                                     QFileInfo(dir).absoluteFilePath(), units.all());
        written = writeUnit(dir + u'/' + units.expiryService, systemd::expiryServiceUnit(taskPath, effective, removal),
                            error) &&
                  writeUnit(expiryTimerPath, systemd::expiryTimerUnit(taskPath, effective, expiryCalendar), error);
    } else if (written) {
        written = removeIfPresent(dir + u'/' + units.expiryService, error) && removeIfPresent(expiryTimerPath, error) &&
                  removeIfPresent(wantsLink(dir, units.expiryTimer), error);
    }
    // The clean-up after a failure keeps the message of the failure itself.
    if (!written) {
        removeUnits(dir, units);
        systemctl(program, {QStringLiteral("daemon-reload")});
        return TaskStatus::WriteFailed;
    }

    if (!systemctl(program, {QStringLiteral("daemon-reload")}, error)) {
        removeUnits(dir, units);
        return TaskStatus::ServiceUnavailable;
    }
    if (effective.trigger &&
        !systemctl(program, {QStringLiteral("enable"), QStringLiteral("--now"), units.timer}, error)) {
        removeUnits(dir, units);
        systemctl(program, {QStringLiteral("daemon-reload")});
        return TaskStatus::ServiceUnavailable;
    }
    if (!expiryCalendar.isEmpty() &&
        !systemctl(program, {QStringLiteral("enable"), QStringLiteral("--now"), units.expiryTimer}, error)) {
        // The task's timer is running by now; a task that cannot remove itself goes whole.
        systemctl(program, {QStringLiteral("disable"), QStringLiteral("--now"), units.timer});
        removeUnits(dir, units);
        systemctl(program, {QStringLiteral("daemon-reload")});
        return TaskStatus::ServiceUnavailable;
    }
    return TaskStatus::Ok;
}

TaskStatus SystemdTaskScheduler::deleteTask(const QString& folder, const QString& name, QString* error)
{
    const auto notFound = [&] {
        setError(error, QStringLiteral("No task %1 in folder %2").arg(name, folder));
        return TaskStatus::NotFound;
    };
    if (name.trimmed().isEmpty())
        return notFound();
    const QString dir = unitFolder(false);
    if (dir.isEmpty())
        return notFound();
    const UnitNames units = unitNames(folder, name);
    const QStringList all = units.all();
    if (std::none_of(all.begin(), all.end(), [&](const QString& unit) { return QFileInfo::exists(dir + u'/' + unit); }))
        return notFound();

    const QString program = findSystemctl();
    if (!program.isEmpty())
        disableTimers(program, dir, {units.timer, units.expiryTimer});
    if (!removeUnits(dir, units, error))
        return TaskStatus::WriteFailed;
    if (!program.isEmpty())
        systemctl(program, {QStringLiteral("daemon-reload")});
    return TaskStatus::Ok;
}

TaskStatus SystemdTaskScheduler::deleteFolder(const QString& folder, QString* error)
{
    const QString prefix = systemd::folderPrefix(folder);
    if (prefix.isEmpty()) {
        setError(error, QStringLiteral("The root task folder cannot be removed"));
        return TaskStatus::InvalidDefinition;
    }
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
            if (entry.endsWith(suffix) && !systemd::isExpiryStem(entry.chopped(suffix.size()))) {
                setError(error, QStringLiteral("Task folder %1 still holds the task of unit %2").arg(folder, entry));
                return TaskStatus::FolderNotEmpty;
            }
        }
    }
    return TaskStatus::Ok;
}

}  // namespace platform
