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

namespace {

bool isStored(const QString& msgid, sqlite3* db)
{
    return !Database::Query(platform::formatText(QStringLiteral("SELECT msgid FROM Message WHERE msgid='%s'"),
                                                 Database::Quote(msgid)),
                            db)
                .empty();
}

// The file is about to go, so what it brought must already be in the database, in one
// commit. Messages the database has already are left as they are, read or deleted,
// exactly as the document leaves them when it takes in the imported ones.
void storeNewMessages(MessageList& messages, const QStringList& ids, sqlite3* db)
{
    if (!Message::CreateSchema(db))
        return;
    std::vector<Message*> written;
    for (const QString& id : ids) {
        Message& message = messages.GetAt(messages.IndexOf(id));
        if (message.IsEmpty() || !message.modified || isStored(id, db))
            continue;
        message.NextOrder(db);
        if (message.Write(db))
            written.push_back(&message);
    }
    Database::Commit(db);
    for (Message* message : written)
        message->modified = false;
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

    for (const RecordMap& section : reader.GetSection(QStringLiteral("record"))) {
        RegRecord record(section);
        if (record.GetMfgrCode() != code)
            continue;
        record.NextId(db);
        for (const Channel& channel : entry.channels)
            record.AddSubscription(channel.Name());
        entry.records.push_back(record);
        entry.records.back().Save(db);
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
        if (!QFile::remove(path))
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
