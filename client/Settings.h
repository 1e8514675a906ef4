#pragma once

#include "client/RecordMap.h"

namespace client {

// The user's settings: the Setting table in memory, names folded to lower case, with
// built-in defaults for the names the program knows. Loaded once at start-up and saved
// whole when the document closes.
class Settings {
public:
    static Settings& Instance();

    QString Get(const QString& name) const;
    void Set(const QString& name, const QString& value);
    QString GetDefault(const QString& name) const;

    void Load();
    void Save();

    // Forgets the values in memory (tests start from a new database).
    void Reset();

private:
    Settings();
    RecordMap values_;
};

QString GetSetting(const QString& name);
void SetSetting(const QString& name, const QString& value);

}  // namespace client
