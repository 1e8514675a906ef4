#include "client/MessageList.h"

#include "client/Database.h"

namespace client {

const Message& MessageList::GetAt(int position) const
{
    if (position < 0 || position >= Count())
        return Message::Empty();
    return messages_[size_t(position)];
}

Message& MessageList::GetAt(int position)
{
    if (position < 0 || position >= Count()) {
        static Message scratch;
        scratch = Message::Empty();
        return scratch;
    }
    return messages_[size_t(position)];
}

int MessageList::IndexOf(const QString& id) const
{
    return index_.value(id, -1);
}

// Messages without an id would all meet under the empty id and overwrite one another, so
// they are not listed at all.
int MessageList::Add(const Message& message)
{
    if (message.id.isEmpty())
        return -1;
    int position = IndexOf(message.id);
    if (position >= 0) {
        Message& stored = messages_[size_t(position)];
        const int order = stored.order;
        const bool deleted = stored.deleted;
        const bool read = !stored.unread;
        stored = message;
        stored.order = order;
        stored.deleted = stored.deleted || deleted;
        if (read)
            stored.unread = false;
    } else {
        position = Count();
        messages_.push_back(message);
        index_.insert(message.id, position);
    }
    messages_[size_t(position)].CheckExpiry();
    return position;
}

void MessageList::Load()
{
    sqlite3* db = Database::Instance();
    if (!Message::CreateSchema(db))
        return;
    std::vector<Message> stored = Message::LoadAll(db);
    messages_.reserve(messages_.size() + stored.size());
    index_.reserve(qsizetype(messages_.size() + stored.size()));
    for (const Message& message : stored)
        Add(message);
}

bool MessageList::Save()
{
    sqlite3* db = Database::Instance();
    if (!Message::CreateSchema(db))
        return false;
    // One commit for the whole list: a commit is a sync, and a check may bring hundreds.
    Message::Writer writer(db);
    std::vector<Message*> written;
    bool saved = true;
    for (Message& message : messages_) {
        if (!message.modified)
            continue;
        writer.NextOrder(message);
        if (writer.Write(message))
            written.push_back(&message);
        else
            saved = false;
    }
    if (written.empty())
        return saved;
    if (!Database::Commit(db))
        return false;
    for (Message* message : written)
        message->modified = false;
    return saved;
}

}  // namespace client
