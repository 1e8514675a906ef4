#pragma once

#include <QtGlobal>

namespace engine {

// The engine's sense of time, replaceable by tests. Waits and elapsed times use the
// monotonic reading, which never jumps with the wall clock and, unlike processor time, runs
// while the program sleeps; dates use the wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds from an arbitrary start, never going back.
    virtual qint64 MonotonicMs() const = 0;
    // Seconds since 1970.
    virtual qint64 CurrentTime() const = 0;
    // Lets `ms` milliseconds of monotonic time pass without pumping events.
    virtual void SleepMs(qint64 ms) const = 0;

    // The real clocks.
    static const Clock& System();
};

}  // namespace engine
