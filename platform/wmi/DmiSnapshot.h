#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace platform {

// Every DMI value file of `folder` by name (the regular files; "uevent" and "modalias" only
// repeat the others), each without its trailing newline. nullopt, with `error` saying which
// file and why, when the folder or any value file cannot be read: a snapshot missing the
// serial numbers would defeat its purpose.
std::optional<QMap<QString, QString>> readDmiFolder(const QString& folder, QString* error = nullptr);

// Makes `values` the machine hive's DMI snapshot: the snapshot key then holds exactly these
// values; the rest of the hive stays as it was. False, with `error`, when the hive cannot
// be read or written.
bool writeDmiSnapshot(const QMap<QString, QString>& values, QString* error = nullptr);

}  // namespace platform
