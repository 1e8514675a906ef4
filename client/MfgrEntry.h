#pragma once

#include "client/Channel.h"
#include "client/RecordMap.h"
#include "client/RegRecord.h"

#include <QString>

#include <vector>

struct sqlite3;

namespace client {

// What the client knows of one manufacturer: its code and name, its channels (no two the
// same by Channel::IsSame) and its registration records.
class MfgrEntry {
public:
    // code as given; fullname from the map's "fullname".
    MfgrEntry(const QString& code, const RecordMap& map);

    // True when the channel was new and was appended. For a channel the entry has
    // already, `replace` makes the stored one take over the given one but for its chnid;
    // without it nothing changes.
    bool AddChannel(const Channel& channel, bool replace);

    // Takes over the channels of a "getChannelsForMfgr" reply; every record subscribes to
    // each channel that is new. The caller saves the channels.
    void CollectChannels(const std::vector<Channel>& serviceChannels);

    // The second parameter of "getOffersForRecords": per record a struct of "data" (the
    // fields its subscribed channels ask for, each once) and "channels" (an array of
    // {"name", "lastCheck"}), leaving out subscriptions to channels the entry does not
    // know. The caller owns the array (see MapToXmlRpcStruct).
    XMLRPC_VALUE BuildRecordsParam() const;

    // The owner's channel choice: each record subscribes to the chosen channels and drops
    // the others (kept ones keep their last check), and is saved.
    void ApplySubscriptions(const std::vector<Channel>& chosenChannels, sqlite3* db);

    // The first channel named `name` (ignoring case), or nullptr.
    const Channel* FindChannel(const QString& name) const;

    QString code;
    QString fullname;
    std::vector<RegRecord> records;
    std::vector<Channel> channels;
};

// The table Manufacturer: one row per entry.
namespace Manufacturer {
bool CreateSchema(sqlite3* db);
// Stores the entry's code and full name, then commits.
void Save(sqlite3* db, const MfgrEntry& entry);
}  // namespace Manufacturer

}  // namespace client
