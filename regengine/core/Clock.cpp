#include "regengine/core/Clock.h"

#include <QDateTime>

#include <chrono>
#include <thread>

namespace engine {

namespace {

class SystemClock final : public Clock {
public:
    qint64 MonotonicMs() const override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    qint64 CurrentTime() const override { return QDateTime::currentSecsSinceEpoch(); }
    void SleepMs(qint64 ms) const override
    {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

}  // namespace

const Clock& Clock::System()
{
    static const SystemClock clock;
    return clock;
}

}  // namespace engine
