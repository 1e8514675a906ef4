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

    TaskStatus registerTask(const QString& folder, const QString& name, const TaskDefinition& task) override;
    TaskStatus deleteTask(const QString& folder, const QString& name) override;
    TaskStatus deleteFolder(const QString& folder) override;

private:
    QString unitFolder(bool create) const;

    QString unitFolder_;
};

}  // namespace platform
