#pragma once

#include "platform/registry/Registry.h"

#include <QString>

namespace launcher {

// The engine's self-removal: its downloaded pages, its registry keys and, when no other
// product uses it, its prefs file. Nothing is shown; failures are traced and the next step
// runs.

// RunDeleterHelper, else DeleteOnReboot, then DeleteEngineDataFolder of the remembered
// update folder.
void RemoveEngine();
// The deleter program is a resource this launcher does not carry: always false.
bool RunDeleterHelper();
// Linux has no deletion at the next restart (nor a WININIT.INI): traced, nothing done.
void DeleteOnReboot(const QString& path);
// Deletes the files of `folder` and then the folder and its empty parents up to and
// including "Quenmark". Only a folder that, with links resolved, lies under the engine's
// own folder is touched; false when it is refused or missing.
bool DeleteEngineDataFolder(const QString& folder);
// The engine's per-user key, then the empty keys above it up to "Software".
void DeleteEngineRegistryKeys();
// Deletes `path` under `root`, with `recursive` its subkeys first. False when the key is
// missing, has subkeys without `recursive`, or any deletion fails: a subkey that cannot be
// deleted ends the walk instead of being tried again for ever.
bool DeleteRegistryTree(platform::RootKey root, const QString& path, bool recursive, QString* error = nullptr);
// Deletes the prefs file `name` (in the engine folder) when, with the uninstall product's
// list counted, it holds fewer than two product lists.
bool RemovePrefsFileIfLast(const QString& name);
// The maker and product codes the removal of the prefs file counts.
void SetUninstallStrings(const QString& manufacturer, const QString& product);

}  // namespace launcher
