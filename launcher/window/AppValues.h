#pragma once

#include <QString>

#include <optional>

namespace engine {
class Clock;
class InetLoader;
}  // namespace engine

namespace launcher {

// The values of the running application that "<$APP.name>" tags stand for: the internet
// state, folders, today's date in local time, and the user's language and country.
class AppValues {
public:
    AppValues();

    // Where the date comes from (not owned); null uses the system clock.
    void SetClock(const engine::Clock* clock) { clock_ = clock; }
    // The internet library to ask (not owned); null uses the process-wide one.
    void SetInetLoader(engine::InetLoader* loader) { inet_ = loader; }

    // The value of `name`, compared without regard to case; nullopt for a name that stands
    // for nothing.
    std::optional<QString> Value(const QString& name) const;

private:
    const engine::Clock* clock_ = nullptr;
    engine::InetLoader* inet_ = nullptr;
};

}  // namespace launcher
