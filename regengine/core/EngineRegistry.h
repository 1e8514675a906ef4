#pragma once

#include "regengine/core/FourCC.h"

#include "platform/registry/Registry.h"

#include <QString>

#include <optional>

namespace engine {

// The engine's per-user registry key, the base path followed by the maker and product codes,
// the application name and the version, and the reader that turns any registry value into
// text for the page script.

// "Software\Quenmark\Veldora".
QString EngineRegistryBasePath();
// The key path; the base path and "\Untitled Registration App" until the key is opened.
QString EngineRegistryKeyPath();
// The application name; "Untitled Registration App" until the key is opened.
QString EngineApplicationName();
// The key was created or opened; values under it can be read and written.
bool IsEngineRegistryKeyOpen();

// Builds the key path from the codes (four characters each), the application name and the
// version, and creates or opens that key under the current user. The application name
// becomes the global one either way; false, with the key left unopened, when the key cannot
// be made.
bool OpenEngineRegistryKey(const FourCC& mfgr, const FourCC& prod, const QString& version,
                           const QString& applicationName);

// A value under the engine key; nothing while the key is not open.
std::optional<platform::RegValue> EngineRegistryValue(const QString& name);
// Writes a value under the engine key; false while it is not open.
bool SetEngineRegistryValue(const QString& name, const platform::RegValue& value);

// "RegStatus": the letter, a blank, then year without century, month, day, hour and
// minute of `time` (seconds since 1970) in local time, two digits each.
QString RegStatusText(QChar letter, qint64 time);

// Option bit 0 of ReadRegistryValue: numbers as "0x%08X" instead of decimal.
constexpr unsigned kRegistryHexNumbers = 0x1;

// Reads `path` under `root` as text. The part before the last backslash names a sub-key and
// the rest the value; a path without one names a value of the root itself. A 32-bit number
// gives decimal text (or hexadecimal with option bit 0), any other value its text: a
// multi-string its first string, binary data read as UTF-16 text. False when the value
// cannot be read or holds more than 2048 bytes.
bool ReadRegistryValue(unsigned options, platform::RootKey root, const QString& path, QString* out);

}  // namespace engine
