#pragma once

#include <QString>

#include <optional>

namespace launcher {

// The test setting "TestVals" in the engine's framework key (Software\Veldora\Veldora under
// the current user), read once when the keeper is made.
class ReminderKeeper {
public:
    ReminderKeeper();
    virtual ~ReminderKeeper() = default;

    static QString KeyPath();
    const QString& GetText() const { return text_; }
    // The third of three numbers, in minutes, when the text is longer than 2 characters
    // and holds one.
    std::optional<long> TestMinutes() const;

private:
    QString text_;
};

}  // namespace launcher
