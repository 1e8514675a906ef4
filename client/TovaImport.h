#pragma once

#include <QString>

struct sqlite3;

namespace client {

class MfgrModel;

// Imports one registration file into the model and the database: its manufacturer, new
// channels, records (those of the file's manufacturer) and messages (into
// importedMessages). Unless `keepFile`, the file is deleted once all of it is stored.
// False, with nothing imported and the file left alone, when the file is unusable.
bool ImportTovaFile(MfgrModel& model, const QString& path, sqlite3* db, bool keepFile);

// True when `path`, links resolved, is a file directly in the data folder.
bool LiesInDataFolder(const QString& path);

// Imports and deletes every .tova file of the data folder; when any was imported, the
// scheduled check is set up again by the user's frequency. True when any was imported.
bool ImportFolder(MfgrModel& model);

}  // namespace client
