#pragma once

#include "regengine/core/Clock.h"

namespace testsupport {

// Time that moves only when the code under test sleeps or the test says so.
class FakeClock final : public engine::Clock {
public:
    qint64 MonotonicMs() const override { return ms; }
    qint64 CurrentTime() const override { return seconds; }
    void SleepMs(qint64 d) const override
    {
        ms += d;
        slept += d;
    }

    mutable qint64 ms = 1000;
    mutable qint64 slept = 0;
    qint64 seconds = 0;
};

}  // namespace testsupport
