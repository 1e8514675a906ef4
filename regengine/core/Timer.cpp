#include "regengine/core/Timer.h"

#include "regengine/core/Clock.h"

namespace engine {

Timer::Timer(const Clock* clock) : clock_(clock != nullptr ? clock : &Clock::System()), start_(clock_->MonotonicMs()) {}

Timer::~Timer() = default;

qint64 Timer::Elapsed() const
{
    return clock_->MonotonicMs() - start_;
}

qint64 Timer::ElapsedSeconds() const
{
    return Elapsed() / 1000;
}

qint64 Timer::ElapsedMinutes() const
{
    return Elapsed() / 60000;
}

qint64 Timer::ElapsedHundredths() const
{
    return Elapsed() * 100 / 1000;
}

qint64 Timer::Restart()
{
    start_ = clock_->MonotonicMs();
    return start_;
}

}  // namespace engine
