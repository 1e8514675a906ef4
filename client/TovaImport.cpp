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

// Messages the database has already are left as they are, read or deleted, exactly as
// the document leaves them when it takes in the imported ones. False when one could not be
// written; `written` gets the ids of those written.
bool storeNewMessages(MessageList& messages, const QStringList& ids, sqlite3* db, QStringList& written)
{
    if (!Message::CreateSchema(db))
        return false;
    for (const QString& id : ids) {
        Message& message = messages.GetAt(messages.IndexOf(id));
        if (message.IsEmpty() || !message.modified || isStored(id, db))
            continue;
        message.NextOrder(db);
        if (!message.Write(db))
            return false;
        written << id;
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

    // All of the file or none of it: a file kept after a failed write is imported again at
    // the next start, and what a failed import had stored would then be stored twice.
    const MfgrModel before = model;
    QStringList messageIds;
    QStringList written;
    const bool stored = Database::RunAtomically(db, [&] {
        if (!Manufacturer::CreateSchema(db) || !Channel::CreateSchema(db) || !RegRecord::CreateSchema(db))
            return false;
        MfgrEntry& entry = model.FindOrAddMfgr(code, mfgrInfo.front());
        Manufacturer::Save(db, entry);

        for (const RecordMap& section : reader.GetSection(QStringLiteral("channel"))) {
            Channel channel(section);
            channel.fields.insert(QStringLiteral("mfgr"), code);
            if (entry.AddChannel(channel, false) && !entry.channels.back().Save(db))
                return false;
        }

        for (const RecordMap& section : reader.GetSection(QStringLiteral("record"))) {
            RegRecord record(section);
            if (record.GetMfgrCode() != code)
                continue;
            for (const Channel& channel : entry.channels)
                record.AddSubscription(channel.Name());
            if (!record.Save(db))
                return false;
            entry.records.push_back(record);
        }

        const QString today = TodayDateText();
        for (const RecordMap& section : reader.GetSection(QStringLiteral("message"))) {
            Message message = Message::FromTova(section);
            message.params.insert(QStringLiteral("mfgr"), code);
            message.params.insert(QStringLiteral("added"), today);
            if (GetField(message.params, QStringLiteral("url")).isEmpty() || message.id.isEmpty())
                continue;
            model.importedMessages.Add(message);
            messageIds << message.id;
        }
        // The file is about to go, so what it brought must be in the database first.
        return keepFile || storeNewMessages(model.importedMessages, messageIds, db, written);
    });
    if (!stored) {
        model = before;
        qCWarning(lcClient) << "Unable to store what registration file" << path << "holds; nothing of it is kept";
        return false;
    }
    if (!keepFile) {
        for (const QString& id : written) {
            Message& message = model.importedMessages.GetAt(model.importedMessages.IndexOf(id));
            if (!message.IsEmpty())
                message.modified = false;
        }
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

}  // namespace client
