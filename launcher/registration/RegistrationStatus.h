#pragma once

namespace engine {
class Displayer;
}

namespace launcher {

// What a registration run shows while it goes: the status window with its Cancel, which sets
// the global cancel flag. A run without one shows nothing and is cancelled only by the flag.
class RegistrationStatus {
public:
    virtual ~RegistrationStatus() = default;
    // Shown as the run starts; where its progress texts go (null: nowhere).
    virtual engine::Displayer* Begin() = 0;
    // The run has ended, either way.
    virtual void End() = 0;
};

}  // namespace launcher
