#include "client/Channel.h"

#include "client/Database.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <xmlrpc.h>

namespace client {

using platform::formatText;

Channel::Channel(const RecordMap& section) : fields(section)
{
    const QString codes = GetField(fields, QStringLiteral("fields"));
    if (codes.isEmpty())
        return;
    fields.remove(QStringLiteral("fields"));
    for (const QString& piece : SplitString(codes.trimmed(), QStringLiteral(" "))) {
        const QString code = piece.trimmed();
        if (!code.isEmpty())
            fieldCodes << code;
    }
}

Channel Channel::FromXmlRpc(XMLRPC_VALUE channel)
{
    Channel result;
    if (XMLRPC_GetValueTypeEasy(channel) != xmlrpc_type_struct)
        return result;
    for (XMLRPC_VALUE member = XMLRPC_VectorRewind(channel); member; member = XMLRPC_VectorNext(channel)) {
        const QString name = platform::asciiLower(XmlRpcValueName(member));
        if (name == u"fields") {
            if (XMLRPC_GetValueTypeEasy(member) != xmlrpc_type_array)
                continue;
            for (XMLRPC_VALUE code = XMLRPC_VectorRewind(member); code; code = XMLRPC_VectorNext(member)) {
                QString text;
                if (XmlRpcValueText(code, &text))
                    result.fieldCodes << text;
            }
            continue;
        }
        QString value;
        if (!XmlRpcValueText(member, &value))
            continue;
        result.fields.insert(name, name == u"name" ? platform::asciiLower(value) : value);
    }
    return result;
}

Channel Channel::Load(const QString& chnid, sqlite3* db)
{
    Channel result;
    result.chnid = chnid;
    const Database::Rows rows =
        Database::Query(formatText(QStringLiteral("SELECT name,title,description,mfgr FROM Channel WHERE chnid='%s'"),
                                   Database::Quote(chnid)),
                        db);
    if (rows.size() != 1)
        return result;
    for (const char* key : {"name", "title", "description", "mfgr"})
        result.fields.insert(QString::fromLatin1(key), GetField(rows.front(), QString::fromLatin1(key)));
    for (const RecordMap& row : Database::Query(
             formatText(QStringLiteral("SELECT field FROM ChannelField WHERE chnid='%s'"), Database::Quote(chnid)), db))
        result.fieldCodes << GetField(row, QStringLiteral("field"));
    return result;
}

bool Channel::CreateSchema(sqlite3* db)
{
    return Database::Execute(
        {
            "CREATE TABLE IF NOT EXISTS Channel ( chnid INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, mfgr TEXT "
            "NOT NULL, title TEXT, description TEXT, UNIQUE(mfgr,name) )",
            "CREATE INDEX IF NOT EXISTS Channel_mfgr ON Channel (mfgr)",
            "CREATE TABLE IF NOT EXISTS ChannelField ( chnid INTEGER NOT NULL, field TEXT NOT NULL, UNIQUE(chnid,field) )",
            "CREATE INDEX IF NOT EXISTS ChannelField_chnid ON ChannelField (chnid)",
        },
        db);
}

// An empty id would file the channel under '' and let its field rows mix with those of
// every other channel saved without one, so a save without an id writes nothing.
bool Channel::Save(sqlite3* db)
{
    if (chnid.isEmpty())
        chnid = Database::NextId(QStringLiteral("chnid"), db, QStringLiteral("Channel"));
    if (chnid.isEmpty())
        return false;
    Database::Statement channel(db, "REPLACE INTO Channel (chnid,name,mfgr,title,description) VALUES (?,?,?,?,?)");
    channel.Bind(1, chnid)
        .Bind(2, Name())
        .Bind(3, Mfgr())
        .Bind(4, GetField(fields, QStringLiteral("title")))
        .Bind(5, GetField(fields, QStringLiteral("description")))
        .Run();
    Database::Statement clear(db, "DELETE FROM ChannelField WHERE chnid=?");
    clear.Bind(1, chnid).Run();
    Database::Statement field(db, "INSERT INTO ChannelField (chnid,field) VALUES (?,?)");
    for (const QString& code : fieldCodes)
        field.Bind(1, chnid).Bind(2, code).Run();
    Database::Commit(db);
    return true;
}

bool Channel::IsSame(const Channel& other) const
{
    return platform::asciiEqualsIgnoreCase(Name(), other.Name()) &&
           platform::asciiEqualsIgnoreCase(Mfgr(), other.Mfgr());
}

}  // namespace client
