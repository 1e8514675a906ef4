#pragma once

#include "client/Database.h"
#include "client/RecordMap.h"

#include <QHash>
#include <QString>

#include <vector>

struct sqlite3;

namespace client {

// One page a manufacturer offers the owner. Its parameters are the keys "mfgr",
// "channel", "title", "added" (a date text), "url", the optional "endtime" (seconds since
// 1970) and whatever else the source sent, all lower case. Stored in the tables Message
// and MessageParam.
class Message {
public:
    // The empty message: no id, modified, neither deleted nor unread, order -1.
    Message() = default;

    // From an offer struct of "getOffersForRecords" and from a "message" section of a
    // registration file: "id" is the id, "name" becomes "channel", "offer" becomes
    // "title", every other name is lower-cased. New, modified and unread. Integer members
    // of an offer become decimal text; members of other types are skipped.
    static Message FromXmlRpc(XMLRPC_VALUE offer);
    static Message FromTova(const RecordMap& section);

    // The stored message `msgid`; only its id when there is no such row.
    static Message Load(const QString& msgid, sqlite3* db);
    // Every stored message, in list order (added time, then sequence number), read by two
    // statements rather than two for each message.
    static std::vector<Message> LoadAll(sqlite3* db);
    static bool CreateSchema(sqlite3* db);

    // The message lookups return when they find nothing.
    static const Message& Empty();

    bool IsEmpty() const { return id.isEmpty(); }

    // Gives a message that has none the next sequence number of the table.
    void NextOrder(sqlite3* db);

    // Writes the message and its parameters and commits; clears modified. Nothing for the
    // empty message or one that has no sequence number (NextOrder failed): false then.
    bool Save(sqlite3* db);
    // Save without the commit and without clearing modified, for a caller that stores
    // several messages as one.
    bool Write(sqlite3* db);

    // Writes many messages, as Write does, with statements prepared once.
    class Writer {
    public:
        explicit Writer(sqlite3* db);
        // As Message::NextOrder, counting on from the table's first look-up and the
        // messages written since, rather than asking the table for each message.
        void NextOrder(Message& message);
        bool Write(const Message& message);

    private:
        sqlite3* db_;
        Database::Statement row_;
        Database::Statement param_;
        int nextOrder_ = 0;
        QHash<QString, qint64> addedTimes_;  // date text -> time; few dates, many messages
    };

    // Marks the message deleted once its "endtime" has passed.
    void CheckExpiry();

    // Deletes every stored message of the manufacturer `mfgr`, or all of them when it is
    // empty, and commits.
    static void DeleteAll(const QString& mfgr, sqlite3* db);

    RecordMap params;
    QString id;            // messages with the same id are the same message
    bool modified = true;  // only modified messages are written
    bool deleted = false;  // kept and stored, never shown
    bool unread = false;
    int order = -1;  // msgorder; assigned on the first save
};

}  // namespace client
