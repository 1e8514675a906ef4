#pragma once

#include "client/RecordMap.h"

#include <QString>
#include <QStringList>

#include <vector>

struct sqlite3;

namespace client {

// A channel a registration record receives messages from, and when it was last checked.
struct Subscription {
    QString chnname;
    qint64 lastCheck = 0;  // seconds since 1970; 0 for never
};

// The data the launcher collected when the owner registered the computer, as field code
// to value ("MFGR", "MODL", ...; codes keep their case), with the record's channel
// subscriptions. Stored in the tables RegRecord, RegField and Subscription.
class RegRecord {
public:
    RegRecord() = default;
    // From a "record" section of a registration file: added now, no subscriptions.
    explicit RegRecord(const RecordMap& section);

    // The stored record `recid`; only its recid when there is no such row.
    static RegRecord Load(const QString& recid, sqlite3* db);
    static bool CreateSchema(sqlite3* db);

    QString GetMfgrCode() const { return GetField(fields, QStringLiteral("MFGR")); }

    // Channel names are compared ignoring case, as channels are (Channel::IsSame): a
    // channel that comes back from the service in another case is still the same
    // subscription.
    void AddSubscription(const QString& channelName);
    void SetLastCheck(const QString& channelName, qint64 time);
    bool IsSubscribed(const QString& channelName) const;

    // Assigns recid from the table when the record has none.
    void NextId(sqlite3* db);

    // Writes the record, its fields and its subscriptions and commits. False, with
    // nothing written, when no id could be found.
    bool Save(sqlite3* db);

    // After a successful "getOffersForRecords": each record's subscriptions to the named
    // channels get the current time as their last check, and each record is saved.
    static void UpdateLastCheck(std::vector<RegRecord>& records, const QStringList& channelNames, sqlite3* db);

    QString recid;  // empty until first saved
    qint64 added = 0;
    RecordMap fields;
    std::vector<Subscription> subscriptions;
};

}  // namespace client
