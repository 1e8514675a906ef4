#pragma once

#include "client/MessageList.h"
#include "client/MfgrEntry.h"
#include "client/RecordMap.h"

#include <QString>

#include <vector>

namespace client {

// The document's manufacturer entries, and the messages gathered from imported
// registration files until the document takes them into its own list.
class MfgrModel {
public:
    // The entry whose code equals `code` exactly; a new MfgrEntry(code, map) is appended
    // when there is none. The reference lasts until the next entry is added.
    MfgrEntry& FindOrAddMfgr(const QString& code, const RecordMap& map);

    // The entry whose code equals `code` exactly, or nullptr; never adds one.
    MfgrEntry* FindMfgr(const QString& code);
    const MfgrEntry* FindMfgr(const QString& code) const;

    // Fills the entries with their channels and records from the database
    // (Database::Instance()).
    void LoadAll();

    std::vector<MfgrEntry> entries;  // in the order of the Manufacturer rows, then of import
    MessageList importedMessages;
};

}  // namespace client
