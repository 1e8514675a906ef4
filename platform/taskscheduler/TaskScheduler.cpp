#include "platform/taskscheduler/TaskScheduler.h"

#include "platform/taskscheduler/SystemdTaskScheduler.h"

namespace platform {
namespace {
TaskScheduler* g_scheduler = nullptr;
}

TaskScheduler& taskScheduler()
{
    static SystemdTaskScheduler systemdScheduler;
    return g_scheduler ? *g_scheduler : systemdScheduler;
}

void setTaskScheduler(TaskScheduler* scheduler)
{
    g_scheduler = scheduler;
}

}  // namespace platform
