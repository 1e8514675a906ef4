#pragma once

#include <QtGlobal>

namespace engine {

class Clock;

// Elapsed time for time-outs and waits, on the monotonic clock.
class Timer {
public:
    // Starts at once; `clock` (not owned) defaults to the system clock.
    explicit Timer(const Clock* clock = nullptr);
    virtual ~Timer();

    qint64 ElapsedSeconds() const;
    qint64 ElapsedMinutes() const;
    qint64 ElapsedHundredths() const;
    // Starts again; returns the new start in milliseconds.
    qint64 Restart();

private:
    qint64 Elapsed() const;

    const Clock* clock_;
    qint64 start_;
};

}  // namespace engine
