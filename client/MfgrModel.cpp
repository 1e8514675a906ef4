#include "client/MfgrModel.h"

#include "client/Database.h"
#include "platform/text/Format.h"

#include <utility>

namespace client {

using platform::formatText;

MfgrEntry& MfgrModel::FindOrAddMfgr(const QString& code, const RecordMap& map)
{
    for (MfgrEntry& entry : entries)
        if (entry.code == code)
            return entry;
    entries.emplace_back(code, map);
    return entries.back();
}

MfgrEntry* MfgrModel::FindMfgr(const QString& code)
{
    return const_cast<MfgrEntry*>(std::as_const(*this).FindMfgr(code));
}

const MfgrEntry* MfgrModel::FindMfgr(const QString& code) const
{
    for (const MfgrEntry& entry : entries)
        if (entry.code == code)
            return &entry;
    return nullptr;
}

void MfgrModel::LoadAll()
{
    sqlite3* db = Database::Instance();
    if (!Manufacturer::CreateSchema(db) || !Channel::CreateSchema(db) || !RegRecord::CreateSchema(db))
        return;
    for (const RecordMap& row : Database::Query(QStringLiteral("SELECT mfgr,fullname FROM Manufacturer"), db)) {
        MfgrEntry entry(GetField(row, QStringLiteral("mfgr")), row);
        const QString code = Database::Quote(entry.code);
        for (const RecordMap& channel :
             Database::Query(formatText(QStringLiteral("SELECT chnid FROM Channel WHERE mfgr='%s'"), code), db))
            entry.AddChannel(Channel::Load(GetField(channel, QStringLiteral("chnid")), db), true);
        for (const RecordMap& record :
             Database::Query(formatText(QStringLiteral("SELECT recid FROM RegRecord WHERE mfgr='%s'"), code), db))
            entry.records.push_back(RegRecord::Load(GetField(record, QStringLiteral("recid")), db));
        entries.push_back(std::move(entry));
    }
}

}  // namespace client
