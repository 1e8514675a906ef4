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
    Database::Query(
        QStringLiteral("SAVEPOINT upgradeParams;"
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

namespace {

constexpr const char* kRowColumns = "msgid,mfgr,channel,added,deleted,read,msgorder";

// The message of the current row of a statement over kRowColumns; its parameters come
// after. `dates` keeps the date texts made so far, by time value.
Message fromRow(const Database::Statement& row, QHash<qint64, QString>& dates)
{
    Message m;
    m.id = row.Text(0);
    m.modified = false;
    m.params.insert(QStringLiteral("mfgr"), row.Text(1));
    m.params.insert(QStringLiteral("channel"), row.Text(2));
    m.deleted = row.Text(4).toLongLong() != 0;
    m.unread = row.Text(5).toLongLong() == 0;
    m.order = row.Text(6).toInt();
    bool ok = false;
    qint64 added = row.Text(3).toLongLong(&ok);
    if (!ok)
        added = -1;
    auto date = dates.constFind(added);
    if (date == dates.constEnd())
        date = dates.insert(added, DateTextFromTime(added));
    m.params.insert(QStringLiteral("added"), *date);
    return m;
}

}  // namespace

Message Message::Load(const QString& msgid, sqlite3* db)
{
    Message m;
    m.id = msgid;
    m.modified = false;
    Database::Statement row(db, (QByteArray("SELECT ") + kRowColumns + " FROM Message WHERE msgid=?").constData());
    if (!row.Bind(1, msgid).Next())
        return m;
    QHash<qint64, QString> dates;
    m = fromRow(row, dates);
    m.id = msgid;
    Database::Statement params(db, "SELECT param,value FROM MessageParam WHERE msgid=?");
    params.Bind(1, msgid);
    while (params.Next())
        m.params.insert(params.Text(0), params.Text(1));
    return m;
}

std::vector<Message> Message::LoadAll(sqlite3* db)
{
    std::vector<Message> messages;
    QHash<QString, size_t> byId;
    QHash<qint64, QString> dates;
    Database::Statement rows(
        db, (QByteArray("SELECT ") + kRowColumns + " FROM Message ORDER BY added,msgorder").constData());
    while (rows.Next()) {
        byId.insert(rows.Text(0), messages.size());
        messages.push_back(fromRow(rows, dates));
    }
    Database::Statement params(db, "SELECT msgid,param,value FROM MessageParam");
    while (params.Next()) {
        const auto it = byId.constFind(params.Text(0));
        if (it != byId.constEnd())
            messages[*it].params.insert(params.Text(1), params.Text(2));
    }
    return messages;
}

// The message table comes first: the parameter table's upgrade reads the ids it holds.
bool Message::CreateSchema(sqlite3* db)
{
    return Database::Execute(
               {"CREATE TABLE IF NOT EXISTS Message ( msgid TEXT NOT NULL PRIMARY KEY, mfgr TEXT NOT NULL, "
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
    Writer writer(db);
    return writer.Write(*this);
}

Message::Writer::Writer(sqlite3* db)
    : db_(db), row_(db, "REPLACE INTO Message (msgid,mfgr,channel,added,deleted,read,msgorder) VALUES (?,?,?,?,?,?,?)"),
      param_(db, "REPLACE INTO MessageParam (msgid,param,value) VALUES (?,?,?)")
{}

void Message::Writer::NextOrder(Message& message)
{
    if (message.order > 0)
        return;
    if (nextOrder_ > 0)
        message.order = nextOrder_++;
    else
        message.NextOrder(db_);
}

bool Message::Writer::Write(const Message& message)
{
    // Without a sequence number the message would sort before every other one, and
    // without an id it would be no message at all.
    if (message.IsEmpty() || message.order <= 0)
        return false;
    nextOrder_ = std::max(nextOrder_, message.order + 1);

    const QString addedText = GetField(message.params, QStringLiteral("added"));
    auto added = addedTimes_.constFind(addedText);
    if (added == addedTimes_.constEnd())
        added = addedTimes_.insert(addedText, ParseIsoDateTime(addedText));
    bool written = row_.Bind(1, message.id)
                       .Bind(2, GetField(message.params, QStringLiteral("mfgr")))
                       .Bind(3, GetField(message.params, QStringLiteral("channel")))
                       .Bind(4, *added)
                       .Bind(5, qint64(message.deleted ? 1 : 0))
                       .Bind(6, qint64(message.unread ? 0 : 1))
                       .Bind(7, qint64(message.order))
                       .Run();
    for (auto it = message.params.constBegin(); it != message.params.constEnd(); ++it) {
        if (isRowColumn(it.key()))
            continue;
        written = param_.Bind(1, message.id).Bind(2, it.key()).Bind(3, it.value()).Run() && written;
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
            : Database::Query(
                  formatText(QStringLiteral("SELECT msgid FROM Message WHERE mfgr='%s'"), Database::Quote(mfgr)), db);
    for (const RecordMap& row : rows) {
        const QString id = Database::Quote(GetField(row, QStringLiteral("msgid")));
        Database::Query(formatText(QStringLiteral("DELETE FROM MessageParam WHERE msgid='%s'"), id), db);
        Database::Query(formatText(QStringLiteral("DELETE FROM Message WHERE msgid='%s'"), id), db);
    }
    Database::Commit(db);
}

}  // namespace client
