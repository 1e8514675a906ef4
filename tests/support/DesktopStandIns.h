#pragma once

// Stand-ins for the desktop the idle wait reads: idle readings from a script, and a clock
// that only counts, so no test waits for real seconds.

#include "platform/desktop/Desktop.h"

#include <QList>

namespace testsupport {

// Idle readings from a script (the last one repeats; none reads as unknown) and the
// sounds played.
class ScriptedDesktop final : public platform::Desktop {
public:
    explicit ScriptedDesktop(QList<qint64> idle = {12000}) : script(std::move(idle)) {}
    qint64 idleMilliseconds() override
    {
        ++reads;
        return script.size() > 1 ? script.takeFirst() : script.value(0, -1);
    }
    void playSound(unsigned style) override { sounds << style; }
    QList<qint64> script;
    QList<unsigned> sounds;
    int reads = 0;
};

// A clock for the idle wait that only counts: each sleep is noted and moves it on.
class CountingClock final : public platform::WaitClock {
public:
    qint64 elapsedMilliseconds() override { return now; }
    void sleepMilliseconds(int ms) override
    {
        sleeps << ms;
        now += ms;
    }
    qint64 now = 1'000'000;
    QList<int> sleeps;
};

}  // namespace testsupport
