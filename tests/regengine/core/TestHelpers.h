#pragma once

#include "regengine/core/Clock.h"

#include "platform/ui/Ui.h"

#include <QString>

#include <vector>

namespace coretest {

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

// Message boxes recorded instead of shown, installed for the life of the object.
class RecordingSink final : public platform::MessageSink {
public:
    struct Box {
        QString text;
        QString caption;
    };
    RecordingSink() { platform::setMessageSink(this); }
    ~RecordingSink() override { platform::setMessageSink(nullptr); }
    int messageBox(const QString& text, const QString& caption, unsigned style) override
    {
        boxes.push_back({text, caption});
        return platform::defaultButton(style);
    }
    void beep(unsigned) override {}

    std::vector<Box> boxes;
};

}  // namespace coretest
