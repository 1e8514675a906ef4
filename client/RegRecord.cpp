#include "client/RegRecord.h"

#include "client/Database.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

namespace client {

using platform::formatText;

RegRecord::RegRecord(const RecordMap& section) : added(CurrentTime()), fields(section) {}

RegRecord RegRecord::Load(const QString& recid, sqlite3* db)
{
    RegRecord record;
    record.recid = recid;
    const QString id = Database::Quote(recid);
    const Database::Rows rows =
        Database::Query(formatText(QStringLiteral("SELECT added FROM RegRecord WHERE recid='%s'"), id), db);
    if (rows.size() != 1)
        return record;
    record.added = GetField(rows.front(), QStringLiteral("added")).toLongLong();
    for (const RecordMap& row :
         Database::Query(formatText(QStringLiteral("SELECT field, value FROM RegField WHERE recid='%s'"), id), db))
        record.fields.insert(GetField(row, QStringLiteral("field")), GetField(row, QStringLiteral("value")));
    for (const RecordMap& row : Database::Query(
             formatText(QStringLiteral("SELECT chnname,lastCheck FROM Subscription WHERE recid='%s'"), id), db))
        record.subscriptions.push_back(
            {GetField(row, QStringLiteral("chnname")), GetField(row, QStringLiteral("lastCheck")).toLongLong()});
    return record;
}

bool RegRecord::CreateSchema(sqlite3* db)
{
    return Database::Execute(
        {
            "CREATE TABLE IF NOT EXISTS RegRecord ( recid INTEGER PRIMARY KEY AUTOINCREMENT, mfgr TEXT NOT NULL, added "
            "INTEGER )",
            "CREATE INDEX IF NOT EXISTS RegRecord_mfgr ON RegRecord (mfgr)",
            "CREATE TABLE IF NOT EXISTS RegField ( recid INTEGER NOT NULL, field TEXT NOT NULL, value TEXT )",
            "CREATE INDEX IF NOT EXISTS RegField_recid ON RegField (recid)",
            "CREATE TABLE IF NOT EXISTS Subscription ( recid INTEGER NOT NULL, chnname TEXT NOT NULL, lastCheck INTEGER "
            "NOT NULL, lastDownload INTEGER NOT NULL, UNIQUE (recid,chnname) )",
        },
        db);
}

void RegRecord::AddSubscription(const QString& channelName)
{
    if (!IsSubscribed(channelName))
        subscriptions.push_back({channelName, 0});
}

void RegRecord::SetLastCheck(const QString& channelName, qint64 time)
{
    for (Subscription& s : subscriptions)
        if (platform::asciiEqualsIgnoreCase(s.chnname, channelName)) {
            s.lastCheck = time;
            return;
        }
}

bool RegRecord::IsSubscribed(const QString& channelName) const
{
    for (const Subscription& s : subscriptions)
        if (platform::asciiEqualsIgnoreCase(s.chnname, channelName))
            return true;
    return false;
}

void RegRecord::NextId(sqlite3* db)
{
    if (recid.isEmpty())
        recid = Database::NextId(QStringLiteral("recid"), db, QStringLiteral("RegRecord"));
}

// Without an id the field and subscription rows would be filed under '' and be read back
// by no record, or by the wrong one; such a save writes nothing.
bool RegRecord::Save(sqlite3* db)
{
    NextId(db);
    if (recid.isEmpty())
        return false;
    // Bound statements, prepared once: a record may hold thousands of fields.
    Database::Statement record(db, "REPLACE INTO RegRecord (recid,mfgr,added) VALUES (?,?,?)");
    record.Bind(1, recid).Bind(2, GetMfgrCode()).Bind(3, added).Run();
    Database::Statement clearFields(db, "DELETE FROM RegField WHERE recid=?");
    clearFields.Bind(1, recid).Run();
    Database::Statement field(db, "INSERT INTO RegField (recid,field,value) VALUES (?,?,?)");
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        field.Bind(1, recid).Bind(2, it.key()).Bind(3, it.value()).Run();
    Database::Statement clearSubscriptions(db, "DELETE FROM Subscription WHERE recid=?");
    clearSubscriptions.Bind(1, recid).Run();
    Database::Statement subscription(
        db, "INSERT INTO Subscription (recid,chnname,lastCheck,lastDownload) VALUES (?,?,?,0)");
    for (const Subscription& s : subscriptions)
        subscription.Bind(1, recid).Bind(2, s.chnname).Bind(3, s.lastCheck).Run();
    Database::Commit(db);
    return true;
}

void RegRecord::UpdateLastCheck(std::vector<RegRecord>& records, const QStringList& channelNames, sqlite3* db)
{
    const qint64 now = CurrentTime();
    for (RegRecord& record : records) {
        for (const QString& name : channelNames)
            record.SetLastCheck(name, now);
        record.Save(db);
    }
}

}  // namespace client
