#pragma once

#include "client/MessageList.h"
#include "client/MfgrModel.h"

#include <QObject>
#include <QStringList>

namespace client {

// The client's one document: the messages and manufacturer entries of this run.
class CBrevantDoc : public QObject {
    Q_OBJECT
public:
    explicit CBrevantDoc(QObject* parent = nullptr);

    bool IsModified() const { return modified_ != 0; }
    void SetModifiedFlag(int modified) { modified_ = modified; }

    // Loads the model and the messages, imports the "/import" file or the data folder's
    // registration files, and takes in the messages they brought; false ends the program.
    virtual bool OnNewDocument();
    // Saves the messages and the settings.
    virtual void OnCloseDocument();

    // Imports a registration file the user chose; the file stays. Its messages join the
    // list, are saved and shown. False, with nothing changed, when the file is unusable.
    bool ImportRegistration(const QString& path);

    // Marks the message `id` deleted (to be saved with the others) and refreshes the list
    // of shown messages; an unknown id changes nothing.
    void DeleteMessage(const QString& id);

    // shownIds = the listed messages that have a "url" and are not deleted, in list order.
    void RebuildShownList();

    // Saves the modified messages. When that fails, the list is read again from the
    // database, so that what the user sees is what is stored; false then.
    bool SaveMessages();

    // Tells the views that the messages or the shown list changed.
    void UpdateAllViews() { emit allViewsUpdated(); }

    MessageList& Messages() { return messages_; }
    const QStringList& ShownIds() const { return shownIds_; }
    MfgrModel& Model() { return model_; }

signals:
    void allViewsUpdated();

private:
    // Adds the messages the imports gathered whose ids the list does not have yet.
    void TakeImportedMessages();

    int modified_ = 0;
    MessageList messages_;
    QStringList shownIds_;
    MfgrModel model_;
};

}  // namespace client
