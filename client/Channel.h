#pragma once

#include "client/RecordMap.h"

#include <QString>
#include <QStringList>

struct sqlite3;

namespace client {

// A named stream of one manufacturer's messages, and the registration-record fields the
// message service needs to choose that channel's messages for a record. Stored in the
// tables Channel and ChannelField.
class Channel {
public:
    Channel() = default;
    // From a "channel" section of a registration file: the map as given, its "fields"
    // value turned into field codes.
    explicit Channel(const RecordMap& section);

    // From one struct of the "getChannelsForMfgr" reply. Integer members become decimal
    // text, members of other types are skipped, a "fields" member that is not an array
    // is ignored.
    static Channel FromXmlRpc(XMLRPC_VALUE channel);

    // The stored channel `chnid`; only its chnid when there is no such row.
    static Channel Load(const QString& chnid, sqlite3* db);
    static bool CreateSchema(sqlite3* db);

    // Stores the channel and its field codes and commits; assigns chnid on the first save.
    // False, with nothing written, when no id could be found.
    bool Save(sqlite3* db);

    // A channel's identity: same name and same manufacturer, both ignoring case.
    bool IsSame(const Channel& other) const;

    QString Name() const { return GetField(fields, QStringLiteral("name")); }
    QString Mfgr() const { return GetField(fields, QStringLiteral("mfgr")); }

    RecordMap fields;        // "name", "mfgr", "title", "description" and whatever else came
    QString chnid;           // empty until first saved
    QStringList fieldCodes;  // record fields this channel asks for, in order
};

}  // namespace client
