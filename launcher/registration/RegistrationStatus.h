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
    // Shown as the run starts, the window disabled behind it; where its progress texts go
    // (null: nowhere). A window that animates makes itself the engine's idle target
    // (SetIdleCallback), which every wait of the run calls.
    virtual engine::Displayer* Begin() = 0;
    // The run has ended, either way.
    virtual void End() = 0;
};

}  // namespace launcher
