#include "client/Settings.h"

#include "client/Database.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

namespace client {

namespace {

const RecordMap& defaults()
{
    static const RecordMap map{
        {QStringLiteral("showvistawarning"), QStringLiteral("1")},
        {QStringLiteral("playnewmessagesound"), QStringLiteral("1")},
        {QStringLiteral("updatefrequency"), QStringLiteral("0")},
        {QStringLiteral("useroptin"), QStringLiteral("0")},
    };
    return map;
}

}  // namespace

Settings::Settings() = default;

Settings& Settings::Instance()
{
    static Settings settings;
    return settings;
}

QString Settings::Get(const QString& name) const
{
    const QString key = platform::asciiLower(name);
    const auto it = values_.constFind(key);
    return it != values_.constEnd() ? it.value() : GetDefault(key);
}

void Settings::Set(const QString& name, const QString& value)
{
    values_.insert(platform::asciiLower(name), value);
}

QString Settings::GetDefault(const QString& name) const
{
    return GetField(defaults(), platform::asciiLower(name));
}

void Settings::Load()
{
    sqlite3* db = Database::Instance();
    int error = 0;
    Database::Query(
        QStringLiteral("CREATE TABLE IF NOT EXISTS Setting ( setting TEXT NOT NULL PRIMARY KEY, value TEXT NOT NULL )"),
        db, &error);
    if (error != 0)
        return;
    for (const RecordMap& row : Database::Query(QStringLiteral("SELECT setting,value FROM Setting"), db))
        values_.insert(platform::asciiLower(GetField(row, QStringLiteral("setting"))),
                       GetField(row, QStringLiteral("value")));
}

void Settings::Save()
{
    sqlite3* db = Database::Instance();
    // Rows written again unchanged would still cost the commit a sync of the file.
    RecordMap stored;
    int error = 0;
    for (const RecordMap& row : Database::Query(QStringLiteral("SELECT setting,value FROM Setting"), db, &error))
        stored.insert(GetField(row, QStringLiteral("setting")), GetField(row, QStringLiteral("value")));
    if (error == 0 && stored == values_) {
        Database::Commit(db);
        return;
    }
    Database::Query(QStringLiteral("DELETE FROM Setting"), db);
    for (auto it = values_.constBegin(); it != values_.constEnd(); ++it)
        Database::Query(platform::formatText(QStringLiteral("INSERT INTO Setting (setting,value) VALUES ('%s','%s')"),
                                             Database::Quote(it.key()), Database::Quote(it.value())),
                        db);
    Database::Commit(db);
}

void Settings::Reset()
{
    values_.clear();
}

QString GetSetting(const QString& name)
{
    return Settings::Instance().Get(name);
}

void SetSetting(const QString& name, const QString& value)
{
    Settings::Instance().Set(name, value);
}

}  // namespace client
