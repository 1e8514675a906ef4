#include "client/TovaImport.h"

#include "client/Database.h"
#include "client/MfgrModel.h"
#include "client/ScheduledTask.h"
#include "client/Settings.h"
#include "client/Trace.h"
#include "client/TovaReader.h"
#include "platform/text/Format.h"

#include <QDir>
#include <QFile>

#include <vector>

namespace client {

namespace {

bool isStored(const QString& msgid, sqlite3* db)
{
    return !Database::Query(platform::formatText(QStringLiteral("SELECT msgid FROM Message WHERE msgid='%s'"),
                                                 Database::Quote(msgid)),
                            db)
                .empty();
}

// The file is about to go, so what it brought must already be in the database, in one
// commit, whole or not at all: a message stored in part would count as stored when the
// kept file is imported again. Messages the database has already are left as they are,
// read or deleted, exactly as the document leaves them when it takes in the imported ones.
void storeNewMessages(MessageList& messages, const QStringList& ids, sqlite3* db)
{
    if (!Message::CreateSchema(db))
        return;
    std::vector<Message*> written;
    bool failed = false;
    Database::Query(QStringLiteral("SAVEPOINT importMessages"), db);
    for (const QString& id : ids) {
        Message& message = messages.GetAt(messages.IndexOf(id));
        if (message.IsEmpty() || !message.modified || isStored(id, db))
            continue;
        message.NextOrder(db);
        if (!message.Write(db)) {
            failed = true;
            break;
        }
        written.push_back(&message);
    }
    if (failed) {
        Database::Query(QStringLiteral("ROLLBACK TO importMessages; RELEASE importMessages"), db);
        return;
    }
    Database::Query(QStringLiteral("RELEASE importMessages"), db);
    Database::Commit(db);
    for (Message* message : written)
        message->modified = false;
}

// What the file brought, read back: its messages and the records it added. A full disk or
// a failed commit leaves them missing, and then the file must stay for the next start.
bool isAllStored(const QStringList& msgids, const QStringList& recids, sqlite3* db)
{
    for (const QString& id : msgids) {
        if (!isStored(id, db))
            return false;
    }
    for (const QString& id : recids) {
        if (id.isEmpty() ||
            Database::Query(platform::formatText(QStringLiteral("SELECT recid FROM RegRecord WHERE recid='%s'"),
                                                 Database::Quote(id)),
                            db)
                .empty())
            return false;
    }
    return true;
}

}  // namespace

bool ImportTovaFile(MfgrModel& model, const QString& path, sqlite3* db, bool keepFile)
{
    const TovaReader reader = TovaReader::Read(path);
    if (!reader.ok) {
        qCInfo(lcClient) << "Registration file" << path << "is malformed; not imported";
        return false;
    }
    const QList<RecordMap> mfgrInfo = reader.GetSection(QStringLiteral("mfgrinfo"));
    const QString code = mfgrInfo.size() == 1 ? GetField(mfgrInfo.front(), QStringLiteral("mfgr")) : QString();
    if (code.size() != 4) {
        qCInfo(lcClient) << "Registration file" << path << "names no single four-character manufacturer; not imported";
        return false;
    }

    if (!Manufacturer::CreateSchema(db) || !Channel::CreateSchema(db) || !RegRecord::CreateSchema(db))
        qCWarning(lcClient) << "Unable to create the tables for registration file" << path;

    MfgrEntry& entry = model.FindOrAddMfgr(code, mfgrInfo.front());
    Manufacturer::Save(db, entry);

    for (const RecordMap& section : reader.GetSection(QStringLiteral("channel"))) {
        Channel channel(section);
        channel.fields.insert(QStringLiteral("mfgr"), code);
        if (entry.AddChannel(channel, false))
            entry.channels.back().Save(db);
    }

    QStringList recordIds;
    for (const RecordMap& section : reader.GetSection(QStringLiteral("record"))) {
        RegRecord record(section);
        if (record.GetMfgrCode() != code)
            continue;
        record.NextId(db);
        for (const Channel& channel : entry.channels)
            record.AddSubscription(channel.Name());
        entry.records.push_back(record);
        entry.records.back().Save(db);
        recordIds << entry.records.back().recid;
    }

    const QString today = TodayDateText();
    QStringList messageIds;
    for (const RecordMap& section : reader.GetSection(QStringLiteral("message"))) {
        Message message = Message::FromTova(section);
        message.params.insert(QStringLiteral("mfgr"), code);
        message.params.insert(QStringLiteral("added"), today);
        if (GetField(message.params, QStringLiteral("url")).isEmpty() || message.id.isEmpty())
            continue;
        model.importedMessages.Add(message);
        messageIds << message.id;
    }

    if (!keepFile) {
        storeNewMessages(model.importedMessages, messageIds, db);
        if (!isAllStored(messageIds, recordIds, db))
            qCWarning(lcClient) << "Unable to store what registration file" << path << "holds; it is kept";
        else if (!QFile::remove(path))
            qCWarning(lcClient) << "Unable to delete imported registration file" << path;
    }
    qCInfo(lcClient) << "Imported registration file" << path;
    return true;
}

bool ImportFolder(MfgrModel& model)
{
    const QString folder = Database::GetFolder();
    if (folder.size() < 3)
        return false;
    sqlite3* db = Database::Instance();
    bool imported = false;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.tova")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        imported = ImportTovaFile(model, folder + u'/' + name, db, false) || imported;
    if (imported)
        ScheduleCheckTask(FrequencyFromSetting(GetSetting(QStringLiteral("UpdateFrequency"))), QString());
    return imported;
}

}  // namespace client
