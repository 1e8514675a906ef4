#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace platform {

// What a scheduler operation ended with. Callers never show these to the user.
enum class TaskStatus {
    Ok,
    InvalidDefinition,   // a name, program path or trigger the scheduler cannot represent
    ServiceUnavailable,  // no user service manager: no systemctl, or it failed
    WriteFailed,         // a unit file could not be written or removed
    NotFound,            // no task of that name in that folder
    FolderNotEmpty,      // the folder still holds tasks
};

// When a task runs. Runs happen at the time of day of `start`, on the days the type
// selects, from `start` up to but not including `end`.
struct TaskTrigger {
    enum class Type { Daily, Weekly, Monthly };
    Type type = Type::Daily;
    QString id;                           // "Trigger1"; for people reading the units
    QDateTime start;                      // local time
    QDateTime end;                        // local time; required, so a task never runs forever
    int daysInterval = 1;                 // daily: every n-th day from the start
    int weeksInterval = 1;                // weekly: every n-th week from the start's week
    unsigned daysOfWeek = 0;              // weekly: Sunday 1, Monday 2, ... Saturday 64
    unsigned monthsOfYear = 0xFFF;        // monthly: January 1, February 2, ... December 2048
    unsigned daysOfMonth = 0;             // monthly: day 1 is bit 0
    bool runOnLastDayOfMonth = false;     // monthly: also the last day, whatever its number
    std::chrono::seconds randomDelay{0};  // each run is put off by up to this much
};

// A task: a program run by the user's service manager, in the user's desktop session.
struct TaskDefinition {
    QString author;
    QString description;
    bool runOnlyIfNetworkAvailable = false;  // skip a run while the machine has no route out
    bool startWhenAvailable = false;         // a run missed while the machine was off happens later
    std::optional<TaskTrigger> trigger;      // none: the task only runs when started by hand
    // The task removes itself this long after its trigger's end; none: it stays.
    std::optional<std::chrono::seconds> deleteExpiredAfter;
    QString programPath;  // absolute
    QStringList arguments;
};

// The user's scheduled tasks. Folders are paths such as "Maker\Product" (backslashes or
// slashes); a folder exists while it holds a task. Every status but Ok comes with a sentence
// in `*error`, when given, saying what was refused or failed and why.
class TaskScheduler {
public:
    virtual ~TaskScheduler() = default;
    // Creates the task, or replaces one of the same name in the folder, and activates it.
    virtual TaskStatus registerTask(const QString& folder, const QString& name, const TaskDefinition& task,
                                    QString* error = nullptr) = 0;
    // Deactivates and removes the task; a run in progress is left to finish.
    virtual TaskStatus deleteTask(const QString& folder, const QString& name, QString* error = nullptr) = 0;
    // Removes the folder; refused while it still holds tasks.
    virtual TaskStatus deleteFolder(const QString& folder, QString* error = nullptr) = 0;
};

// The scheduler the program uses: systemd user units unless one was installed.
TaskScheduler& taskScheduler();
// Installs `scheduler` (not owned); nullptr restores the systemd one.
void setTaskScheduler(TaskScheduler* scheduler);

}  // namespace platform
