#pragma once

// The hive files on disk: a lock file beside each hive, a shared lock to read, an exclusive
// one to change, and write-temp-and-rename to save. Private to platform/registry.

#include "platform/registry/Hive.h"

#include <QString>

#include <functional>
#include <optional>

namespace platform {

// A failure's reason goes to `error`, or to the log when the caller did not ask for it, so
// a file that cannot be read or written is never passed over in silence.

// The hive in the file at `path` (an empty one when there is no file), read under a shared
// lock; nullopt when the file cannot be read or is damaged.
std::optional<Hive> loadHiveShared(RootKey root, const QString& path, QString* error = nullptr);

// Reads the hive under an exclusive lock, lets `change` edit it and, when it returns true,
// saves it atomically before the lock is let go. False when the hive could not be read or
// written.
bool modifyHiveFile(RootKey root, const QString& path, const std::function<bool(Hive&)>& change,
                    QString* error = nullptr);

}  // namespace platform
