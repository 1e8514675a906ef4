#pragma once

// What the code asks of the task scheduler, recorded instead of scheduled, through the
// scheduler's test seam; installed for the life of the object.

#include "platform/taskscheduler/TaskScheduler.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace testsupport {

class RecordingScheduler final : public platform::TaskScheduler {
public:
    RecordingScheduler() { platform::setTaskScheduler(this); }
    ~RecordingScheduler() override { platform::setTaskScheduler(nullptr); }
    RecordingScheduler(const RecordingScheduler&) = delete;
    RecordingScheduler& operator=(const RecordingScheduler&) = delete;

    platform::TaskStatus registerTask(const QString& folder, const QString& name, const platform::TaskDefinition& task,
                                      QString* = nullptr) override
    {
        calls << QStringLiteral("register ") + folder + u'|' + name;
        tasks.push_back(task);
        return platform::TaskStatus::Ok;
    }
    platform::TaskStatus deleteTask(const QString& folder, const QString& name, QString* = nullptr) override
    {
        calls << QStringLiteral("delete ") + folder + u'|' + name;
        return deleteStatus;
    }
    platform::TaskStatus deleteFolder(const QString& folder, QString* = nullptr) override
    {
        calls << QStringLiteral("delete folder ") + folder;
        return platform::TaskStatus::Ok;
    }

    // "<folder>|<name>" of each task registered, in order.
    QStringList registered() const
    {
        QStringList out;
        for (const QString& c : calls)
            if (c.startsWith(QStringLiteral("register ")))
                out << c.mid(9);
        return out;
    }
    // The frequencies of the tasks registered, by their triggers: 3 for none (manual).
    std::vector<int> frequencies() const
    {
        std::vector<int> out;
        for (const platform::TaskDefinition& task : tasks) {
            if (!task.trigger)
                out.push_back(3);
            else
                out.push_back(task.trigger->type == platform::TaskTrigger::Type::Daily    ? 0
                              : task.trigger->type == platform::TaskTrigger::Type::Weekly ? 1
                                                                                          : 2);
        }
        return out;
    }

    // Every call: "register <folder>|<name>", "delete <folder>|<name>", "delete folder <folder>".
    QStringList calls;
    std::vector<platform::TaskDefinition> tasks;
    platform::TaskStatus deleteStatus = platform::TaskStatus::Ok;
};

}  // namespace testsupport
