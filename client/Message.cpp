#include "client/Message.h"

#include "client/Database.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <xmlrpc.h>

namespace client {

using platform::formatText;

namespace {

// A new message from the service or a file, before its members are taken over.
Message newMessage()
{
    Message m;
    m.modified = true;
    m.unread = true;
    return m;
}

void takeMember(Message& m, const QString& rawName, const QString& value)
{
    const QString name = platform::asciiLower(rawName);
    if (name == u"id")
        m.id = value;
    else if (name == u"name")
        m.params.insert(QStringLiteral("channel"), value);
    else if (name == u"offer")
        m.params.insert(QStringLiteral("title"), value);
    else
        m.params.insert(name, value);
}

// The parameters that live in the Message row rather than in MessageParam.
bool isRowColumn(const QString& name)
{
    return name == u"mfgr" || name == u"added" || name == u"channel";
}

// Older files declare MessageParam's msgid INTEGER. That affinity turned the ids "0123"
// and "123" (or "1e3" and "1000") into one number, so such messages shared, and
// overwrote, each other's parameters. The table is rebuilt with a text key; each message
// takes the rows its id reached before, so nothing readable is lost.
bool upgradeParamTable(sqlite3* db)
{
    const Database::Rows columns = Database::Query(QStringLiteral("PRAGMA table_info(MessageParam)"), db);
    bool integerKey = false;
    for (const RecordMap& column : columns)
        if (GetField(column, QStringLiteral("name")) == u"msgid")
            integerKey = platform::asciiLower(GetField(column, QStringLiteral("type"))) == u"integer";
    if (!integerKey)
        return true;
    // Under a savepoint, so that a failure half-way leaves the old table as it was.
    int error = 0;
    Database::Query(QStringLiteral(
                        "SAVEPOINT upgradeParams;"
                        "DROP INDEX IF EXISTS MessageParam_msgid;"
                        "ALTER TABLE MessageParam RENAME TO MessageParam_byNumber;"
                        "CREATE TABLE MessageParam ( msgid TEXT NOT NULL, param TEXT NOT NULL, value TEXT NOT NULL, "
                        "UNIQUE(msgid,param) );"
                        "INSERT OR REPLACE INTO MessageParam (msgid,param,value) SELECT m.msgid,p.param,p.value "
                        "FROM Message m JOIN MessageParam_byNumber p ON p.msgid=m.msgid;"
                        "DROP TABLE MessageParam_byNumber;"
                        "RELEASE upgradeParams"),
                    db, &error);
    if (error != 0)
        Database::Query(QStringLiteral("ROLLBACK TO upgradeParams; RELEASE upgradeParams"), db);
    return error == 0;
}

}  // namespace

Message Message::FromXmlRpc(XMLRPC_VALUE offer)
{
    Message m = newMessage();
    if (XMLRPC_GetValueTypeEasy(offer) != xmlrpc_type_struct)
        return m;
    for (XMLRPC_VALUE member = XMLRPC_VectorRewind(offer); member; member = XMLRPC_VectorNext(offer)) {
        QString value;
        if (XmlRpcValueText(member, &value))
            takeMember(m, XmlRpcValueName(member), value);
    }
    return m;
}

Message Message::FromTova(const RecordMap& section)
{
    Message m = newMessage();
    for (auto it = section.constBegin(); it != section.constEnd(); ++it)
        takeMember(m, it.key(), it.value());
    return m;
}

Message Message::Load(const QString& msgid, sqlite3* db)
{
    Message m;
    m.id = msgid;
    m.modified = false;
    const QString id = Database::Quote(msgid);
    const Database::Rows rows = Database::Query(
        formatText(QStringLiteral("SELECT mfgr,channel,added,deleted,read,msgorder FROM Message WHERE msgid='%s' ORDER BY "
                                  "added,msgorder"),
                   id),
        db);
    if (rows.size() != 1)
        return m;
    const RecordMap& row = rows.front();
    m.params.insert(QStringLiteral("mfgr"), GetField(row, QStringLiteral("mfgr")));
    m.params.insert(QStringLiteral("channel"), GetField(row, QStringLiteral("channel")));
    m.deleted = GetField(row, QStringLiteral("deleted")).toLongLong() != 0;
    m.unread = GetField(row, QStringLiteral("read")).toLongLong() == 0;
    m.order = GetField(row, QStringLiteral("msgorder")).toInt();
    bool ok = false;
    const qint64 added = GetField(row, QStringLiteral("added")).toLongLong(&ok);
    m.params.insert(QStringLiteral("added"), DateTextFromTime(ok ? added : -1));
    for (const RecordMap& param :
         Database::Query(formatText(QStringLiteral("SELECT param,value FROM MessageParam WHERE msgid='%s'"), id), db))
        m.params.insert(GetField(param, QStringLiteral("param")), GetField(param, QStringLiteral("value")));
    return m;
}

// The message table comes first: the parameter table's upgrade reads the ids it holds.
bool Message::CreateSchema(sqlite3* db)
{
    return Database::Execute({"CREATE TABLE IF NOT EXISTS Message ( msgid TEXT NOT NULL PRIMARY KEY, mfgr TEXT NOT NULL, "
                              "channel TEXT NOT NULL, added INTEGER NOT NULL, deleted INTEGER NOT NULL, read INTEGER "
                              "NOT NULL, msgorder INTEGER NOT NULL )"},
                             db) &&
           upgradeParamTable(db) &&
           Database::Execute(
               {
                   "CREATE TABLE IF NOT EXISTS MessageParam ( msgid TEXT NOT NULL, param TEXT NOT NULL, value TEXT NOT "
                   "NULL, UNIQUE(msgid,param) )",
                   "CREATE INDEX IF NOT EXISTS MessageParam_msgid ON MessageParam (msgid)",
               },
               db);
}

const Message& Message::Empty()
{
    static const Message empty;
    return empty;
}

void Message::NextOrder(sqlite3* db)
{
    if (order <= 0)
        order = Database::NextId(QStringLiteral("msgorder"), db, QStringLiteral("Message")).toInt();
}

bool Message::Save(sqlite3* db)
{
    if (!Write(db))
        return false;
    Database::Commit(db);
    modified = false;
    return true;
}

bool Message::Write(sqlite3* db)
{
    // Without a sequence number the message would sort before every other one, and
    // without an id it would be no message at all.
    if (IsEmpty() || order <= 0)
        return false;
    const QString quotedId = Database::Quote(id);
    const qint64 added = ParseIsoDateTime(GetField(params, QStringLiteral("added")));
    int error = 0;
    Database::Query(formatText(QStringLiteral("REPLACE INTO Message (msgid,mfgr,channel,added,deleted,read,msgorder) VALUES "
                                              "('%s','%s','%s',%lld,%d,%d,%d)"),
                               quotedId, Database::Quote(GetField(params, QStringLiteral("mfgr"))),
                               Database::Quote(GetField(params, QStringLiteral("channel"))), added, deleted ? 1 : 0,
                               unread ? 0 : 1, order),
                    db, &error);
    bool written = error == 0;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        if (isRowColumn(it.key()))
            continue;
        Database::Query(formatText(QStringLiteral("REPLACE INTO MessageParam (msgid,param,value) VALUES ('%s','%s','%s')"),
                                   quotedId, Database::Quote(it.key()), Database::Quote(it.value())),
                        db, &error);
        written = written && error == 0;
    }
    return written;
}

void Message::CheckExpiry()
{
    const QString endtime = GetField(params, QStringLiteral("endtime"));
    if (endtime.isEmpty())
        return;
    bool ok = false;
    const qint64 end = endtime.toLongLong(&ok);
    if (ok && end > 0 && end < CurrentTime())
        deleted = true;
}

void Message::DeleteAll(const QString& mfgr, sqlite3* db)
{
    if (!CreateSchema(db))
        return;
    const Database::Rows rows =
        mfgr.isEmpty()
            ? Database::Query(QStringLiteral("SELECT msgid FROM Message"), db)
            : Database::Query(formatText(QStringLiteral("SELECT msgid FROM Message WHERE mfgr='%s'"), Database::Quote(mfgr)),
                              db);
    for (const RecordMap& row : rows) {
        const QString id = Database::Quote(GetField(row, QStringLiteral("msgid")));
        Database::Query(formatText(QStringLiteral("DELETE FROM MessageParam WHERE msgid='%s'"), id), db);
        Database::Query(formatText(QStringLiteral("DELETE FROM Message WHERE msgid='%s'"), id), db);
    }
    Database::Commit(db);
}

}  // namespace client
