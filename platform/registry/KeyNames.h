#pragma once

// How keys are named, shared by the key tree, the hive text and the hive files. Private to
// platform/registry.

#include "platform/registry/Hive.h"

#include <QString>

namespace platform::regkeys {

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER": the file's name and its sections' first part.
QString rootName(RootKey root);

// "\\A\\\\B\\" and "A\\B" name the same key; the stored form has no empty parts.
QString normalizePath(const QString& path);

// The file is line-based and UTF-8, so a name with a line break, a NUL or half a
// surrogate pair would not read back as written.
bool storableName(const QString& name);

// Why a normalised key path is past the registry's limits, or empty when it is not.
QString keyPathProblem(const QString& path);

}  // namespace platform::regkeys
