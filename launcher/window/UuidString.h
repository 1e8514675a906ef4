#pragma once

#include <QString>

#include <optional>

namespace launcher {

// A new random UUID in its 36-character lower-case form (8-4-4-4-12 hexadecimal digits), or
// nullopt when none could be made.
std::optional<QString> CreateUuidString();

}  // namespace launcher
