#pragma once

// The hive files on disk: a lock file beside each hive, a shared lock to read, an exclusive
// one to change, and write-temp-and-rename to save. Private to platform/registry.

#include "platform/registry/Hive.h"

#include <QString>

#include <functional>
#include <optional>

namespace platform {

// The hive in the file at `path` (an empty one when there is no file), read under a shared
// lock; nullopt, logged, when the file cannot be read or is damaged.
std::optional<Hive> loadHiveShared(RootKey root, const QString& path);

// Reads the hive under an exclusive lock, lets `change` edit it and, when it returns true,
// saves it atomically before the lock is let go. False, logged, when the hive could not be
// read or written.
bool modifyHiveFile(RootKey root, const QString& path, const std::function<bool(Hive&)>& change);

}  // namespace platform
