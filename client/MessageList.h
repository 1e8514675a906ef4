#pragma once

#include "client/Message.h"

#include <QHash>
#include <QString>

#include <vector>

namespace client {

// The messages in list order (stored added time, then sequence number), with an index by
// id. A message added again under a known id updates the one already listed.
class MessageList {
public:
    // The message at `position`, or the empty message when there is none there. The
    // writable form hands out a fresh empty message each time, so writing to what a failed
    // lookup returned changes nothing.
    const Message& GetAt(int position) const;
    Message& GetAt(int position);

    // The position of the message `id`, or -1.
    int IndexOf(const QString& id) const;

    // Appends the message, or updates the listed one with its id: that one takes over the
    // new parameters and flags but keeps its order and stays deleted or read when it was.
    // Then checks its expiry. Returns its position; -1 for a message without an id, which
    // is not listed.
    int Add(const Message& message);

    // Fills the list from the database (Database::Instance()).
    void Load();
    // Gives each modified message its sequence number and saves them all in one commit;
    // those written are no longer modified once it succeeded. False when any could not be saved.
    bool Save();

    int Count() const { return int(messages_.size()); }

private:
    std::vector<Message> messages_;
    QHash<QString, int> index_;  // id -> position
};

}  // namespace client
