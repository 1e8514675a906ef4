#pragma once

#include "platform/taskscheduler/TaskScheduler.h"

namespace platform {

// Tasks as systemd user units: a .service that runs the program and, for a task with a
// trigger, a .timer with its calendar, in the user's unit folder, activated with the
// `systemctl` found on PATH. Without a working user manager no task is left behind.
class SystemdTaskScheduler final : public TaskScheduler {
public:
    // `unitFolder` empty: $XDG_CONFIG_HOME/systemd/user, looked up at each call.
    explicit SystemdTaskScheduler(QString unitFolder = {});

    TaskStatus registerTask(const QString& folder, const QString& name, const TaskDefinition& task,
                            QString* error = nullptr) override;
    TaskStatus deleteTask(const QString& folder, const QString& name, QString* error = nullptr) override;
    TaskStatus deleteFolder(const QString& folder, QString* error = nullptr) override;

private:
    // Empty when there is none (or, with `create`, it cannot be made; `*error` says why).
    QString unitFolder(bool create, QString* error = nullptr) const;

    QString unitFolder_;
};

}  // namespace platform
