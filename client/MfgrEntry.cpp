#include "client/MfgrEntry.h"

#include "client/Database.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <xmlrpc.h>

#include <limits>

namespace client {

MfgrEntry::MfgrEntry(const QString& code, const RecordMap& map)
    : code(code), fullname(GetField(map, QStringLiteral("fullname")))
{}

bool MfgrEntry::AddChannel(const Channel& channel, bool replace)
{
    for (Channel& stored : channels) {
        if (!stored.IsSame(channel))
            continue;
        if (replace) {
            const QString chnid = stored.chnid;
            stored = channel;
            stored.chnid = chnid;
        }
        return false;
    }
    channels.push_back(channel);
    return true;
}

void MfgrEntry::CollectChannels(const std::vector<Channel>& serviceChannels)
{
    for (const Channel& given : serviceChannels) {
        Channel copy = given;
        if (copy.Mfgr().isEmpty())
            copy.fields.insert(QStringLiteral("mfgr"), code);
        if (AddChannel(copy, true))
            for (RegRecord& record : records)
                record.AddSubscription(copy.Name());
    }
}

const Channel* MfgrEntry::FindChannel(const QString& name) const
{
    for (const Channel& channel : channels)
        if (platform::asciiEqualsIgnoreCase(channel.Name(), name))
            return &channel;
    return nullptr;
}

// The wire's integer is 32 bits; a time past 2038 is sent as the largest one rather than
// wrapping into the past, which would ask the service for every message again.
static int wireTime(qint64 time)
{
    if (time > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (time < 0)
        return 0;
    return int(time);
}

XMLRPC_VALUE MfgrEntry::BuildRecordsParam() const
{
    XMLRPC_VALUE result = XMLRPC_CreateVector(nullptr, xmlrpc_vector_array);
    for (const RegRecord& record : records) {
        RecordMap data;
        XMLRPC_VALUE channelsArray = XMLRPC_CreateVector("channels", xmlrpc_vector_array);
        for (const Subscription& s : record.subscriptions) {
            const Channel* channel = FindChannel(s.chnname);
            if (!channel)
                continue;
            for (const QString& field : channel->fieldCodes)
                data.insert(field, GetField(record.fields, field));
            XMLRPC_VALUE item = XMLRPC_CreateVector(nullptr, xmlrpc_vector_struct);
            const QByteArray name = s.chnname.toUtf8();
            XMLRPC_VectorAppendString(item, "name", name.constData(), int(name.size()));
            XMLRPC_VectorAppendInt(item, "lastCheck", wireTime(s.lastCheck));
            XMLRPC_AddValueToVector(channelsArray, item);
        }
        XMLRPC_VALUE entry = XMLRPC_CreateVector(nullptr, xmlrpc_vector_struct);
        XMLRPC_VALUE dataStruct = MapToXmlRpcStruct(data);
        XMLRPC_SetValueID(dataStruct, "data", 4);
        XMLRPC_AddValueToVector(entry, dataStruct);
        XMLRPC_AddValueToVector(entry, channelsArray);
        XMLRPC_AddValueToVector(result, entry);
    }
    return result;
}

void MfgrEntry::ApplySubscriptions(const std::vector<Channel>& chosenChannels, sqlite3* db)
{
    for (RegRecord& record : records) {
        for (const Channel& channel : chosenChannels)
            record.AddSubscription(channel.Name());
        std::erase_if(record.subscriptions, [&](const Subscription& s) {
            for (const Channel& channel : chosenChannels)
                if (platform::asciiEqualsIgnoreCase(channel.Name(), s.chnname))
                    return false;
            return true;
        });
        record.Save(db);
    }
    Database::Commit(db);
}

namespace Manufacturer {

bool CreateSchema(sqlite3* db)
{
    return Database::Execute(
        {"CREATE TABLE IF NOT EXISTS Manufacturer ( mfgr TEXT NOT NULL PRIMARY KEY, fullname TEXT )"}, db);
}

void Save(sqlite3* db, const MfgrEntry& entry)
{
    Database::Query(platform::formatText(QStringLiteral("REPLACE INTO Manufacturer (mfgr,fullname) VALUES ('%s','%s')"),
                                         Database::Quote(entry.code), Database::Quote(entry.fullname)),
                    db);
    Database::Commit(db);
}

}  // namespace Manufacturer

}  // namespace client
