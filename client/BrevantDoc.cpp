#include "client/BrevantDoc.h"

#include "client/Database.h"
#include "client/Globals.h"
#include "client/Settings.h"
#include "client/TovaImport.h"

namespace client {

CBrevantDoc::CBrevantDoc(QObject* parent) : QObject(parent) {}

bool CBrevantDoc::OnNewDocument()
{
    model_.LoadAll();
    messages_.Load();

    const QString& importPath = client::runState().importPath;
    // The launcher's file in the data folder is used up by the import; a file of the
    // user's own elsewhere is theirs, and stays.
    const bool keepFile = !importPath.isEmpty() && !LiesInDataFolder(importPath);
    if (!importPath.isEmpty())
        ImportTovaFile(model_, importPath, Database::Instance(), keepFile);
    else
        ImportFolder(model_);

    TakeImportedMessages();
    // A kept file's messages are stored by the list, not by the import.
    if (keepFile)
        SaveMessages();
    RebuildShownList();
    return true;
}

// A file chosen through the menu is kept, so the import stores none of its messages; the
// list takes them in and saves them, or they would show only until the program ends.
bool CBrevantDoc::ImportRegistration(const QString& path)
{
    if (!ImportTovaFile(model_, path, Database::Instance(), true))
        return false;
    TakeImportedMessages();
    SaveMessages();
    RebuildShownList();
    UpdateAllViews();
    return true;
}

bool CBrevantDoc::SaveMessages()
{
    if (messages_.Save())
        return true;
    messages_ = MessageList();
    messages_.Load();
    RebuildShownList();
    UpdateAllViews();
    return false;
}

// A message the list has already keeps its state: the owner may have read or deleted it.
void CBrevantDoc::TakeImportedMessages()
{
    const MessageList& imported = model_.importedMessages;
    for (int i = 0; i < imported.Count(); ++i)
        if (messages_.IndexOf(imported.GetAt(i).id) < 0)
            messages_.Add(imported.GetAt(i));
    model_.importedMessages = MessageList();
}

void CBrevantDoc::OnCloseDocument()
{
    messages_.Save();
    Settings::Instance().Save();
}

// Only modified messages are written, so the deletion marks the message modified; else
// it would be forgotten at the next start.
void CBrevantDoc::DeleteMessage(const QString& id)
{
    const int position = messages_.IndexOf(id);
    if (position < 0)
        return;
    Message& message = messages_.GetAt(position);
    message.deleted = true;
    message.modified = true;
    RebuildShownList();
    UpdateAllViews();
}

void CBrevantDoc::RebuildShownList()
{
    shownIds_.clear();
    for (int i = 0; i < messages_.Count(); ++i) {
        const Message& message = messages_.GetAt(i);
        if (!message.deleted && !GetField(message.params, QStringLiteral("url")).isEmpty())
            shownIds_ << message.id;
    }
}

}  // namespace client
