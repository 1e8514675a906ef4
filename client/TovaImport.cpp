#include "client/TovaImport.h"

#include "client/Database.h"
#include "client/MfgrModel.h"
#include "client/ScheduledTask.h"
#include "client/Settings.h"
#include "client/Trace.h"
#include "client/TovaReader.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <vector>

namespace client {

namespace {

// Two channels are the same when name and maker match without regard to ASCII case
// (Channel::IsSame).
QString channelIdentity(const Channel& channel)
{
    return platform::asciiLower(channel.Name()) + u'\n' + platform::asciiLower(channel.Mfgr());
}

// Messages the database has already are left as they are, read or deleted, exactly as
// the document leaves them when it takes in the imported ones. False when one could not be
// written; `written` gets the ids of those written.
bool storeNewMessages(MessageList& messages, const QStringList& ids, sqlite3* db, QStringList& written)
{
    if (!Message::CreateSchema(db))
        return false;
    Database::Statement stored(db, "SELECT 1 FROM Message WHERE msgid=?");
    Message::Writer writer(db);
    for (const QString& id : ids) {
        Message& message = messages.GetAt(messages.IndexOf(id));
        if (message.IsEmpty() || !message.modified)
            continue;
        const bool known = stored.Bind(1, id).Next();
        stored.Reset();
        if (known)
            continue;
        writer.NextOrder(message);
        if (!writer.Write(message))
            return false;
        written << id;
    }
    return stored.Error() == 0;
}

// A file is deleted only after the commit that stored it, so a process that ends between
// the two leaves a file whose rows are already stored; imported again it would add its
// records a second time. The commit therefore also stores the file's name and identity
// (its size and time of writing, which a new registration changes; hashing a large file
// would cost more than its rows), and the row goes once the file has gone, with the next
// commit.
bool createImportedFileSchema(sqlite3* db)
{
    return Database::Execute(
        {"CREATE TABLE IF NOT EXISTS ImportedFile ( path TEXT NOT NULL PRIMARY KEY, digest TEXT NOT NULL )"}, db);
}

bool isAlreadyStored(const QString& path, const QString& digest, sqlite3* db)
{
    Database::Statement stored(db, "SELECT 1 FROM ImportedFile WHERE path=? AND digest=?");
    return stored.Bind(1, path).Bind(2, digest).Next();
}

bool noteStored(const QString& path, const QString& digest, sqlite3* db)
{
    Database::Statement note(db, "REPLACE INTO ImportedFile (path,digest) VALUES (?,?)");
    return note.Bind(1, path).Bind(2, digest).Run();
}

void forgetStored(const QString& path, sqlite3* db)
{
    Database::Statement forget(db, "DELETE FROM ImportedFile WHERE path=?");
    forget.Bind(1, path).Run();
}

}  // namespace

bool ImportTovaFile(MfgrModel& model, const QString& path, sqlite3* db, bool keepFile)
{
    const QFileInfo info(path);
    const QString digest =
        QString::number(info.size()) + u':' + QString::number(info.lastModified().toMSecsSinceEpoch());
    if (!keepFile && createImportedFileSchema(db) && isAlreadyStored(path, digest, db)) {
        qCInfo(lcClient) << "Registration file" << path << "was stored before; deleting it";
        if (QFile::remove(path))
            forgetStored(path, db);
        return true;
    }
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

        // A file may bring thousands of channels: each is told apart from the entry's by a
        // hash, not by a walk along them, and the ids are counted on from one look-up.
        QSet<QString> known;
        for (const Channel& channel : entry.channels)
            known.insert(channelIdentity(channel));
        qint64 nextId = 0;
        for (const RecordMap& section : reader.GetSection(QStringLiteral("channel"))) {
            Channel channel(section);
            channel.fields.insert(QStringLiteral("mfgr"), code);
            const QString identity = channelIdentity(channel);
            if (known.contains(identity))
                continue;
            known.insert(identity);
            if (nextId == 0)
                nextId = Database::NextId(QStringLiteral("chnid"), db, QStringLiteral("Channel")).toLongLong();
            if (nextId > 0)
                channel.chnid = QString::number(nextId++);
            entry.channels.push_back(channel);
            if (!entry.channels.back().Save(db))
                return false;
        }

        for (const RecordMap& section : reader.GetSection(QStringLiteral("record"))) {
            RegRecord record(section);
            if (record.GetMfgrCode() != code)
                continue;
            // Subscribed once to each name, as AddSubscription would, without its walk.
            QSet<QString> subscribed;
            for (const Channel& channel : entry.channels) {
                if (!subscribed.contains(platform::asciiLower(channel.Name()))) {
                    subscribed.insert(platform::asciiLower(channel.Name()));
                    record.subscriptions.push_back({channel.Name(), 0});
                }
            }
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
        return keepFile || (storeNewMessages(model.importedMessages, messageIds, db, written) &&
                            createImportedFileSchema(db) && noteStored(path, digest, db));
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
        if (QFile::remove(path))
            forgetStored(path, db);
        else
            qCWarning(lcClient) << "Unable to delete imported registration file" << path;
    }
    qCInfo(lcClient) << "Imported registration file" << path;
    return true;
}

bool LiesInDataFolder(const QString& path)
{
    const QString folder = QFileInfo(Database::GetFolder()).canonicalFilePath();
    const QFileInfo file(QFileInfo(path).canonicalFilePath());
    return !folder.isEmpty() && file.exists() && file.isFile() && file.absolutePath() == folder;
}

bool ImportFolder(MfgrModel& model)
{
    const QString folder = Database::GetFolder();
    if (folder.size() < 3)
        return false;
    sqlite3* db = Database::Instance();
    bool imported = false;
    // Filtered by hand: a name filter is a regular expression, and a thread's first match
    // waits for a library that another thread is loading (a scheduled run's HTTP library).
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        if (name.endsWith(u".tova", Qt::CaseInsensitive))
            imported = ImportTovaFile(model, folder + u'/' + name, db, false) || imported;
    if (imported)
        ScheduleCheckTask(FrequencyFromSetting(GetSetting(QStringLiteral("UpdateFrequency"))), QString());
    return imported;
}

}  // namespace client
