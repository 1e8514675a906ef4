#pragma once

#include <QObject>

// The client's one document: the messages and manufacturer entries of this run.
class CBrevantDoc : public QObject {
    Q_OBJECT
public:
    explicit CBrevantDoc(QObject* parent = nullptr);

    bool IsModified() const { return modified_ != 0; }
    void SetModifiedFlag(int modified) { modified_ = modified; }

    // Loads the model and imports registration files; false ends the program.
    virtual bool OnNewDocument();
    // Saves what the run changed.
    virtual void OnCloseDocument();

private:
    int modified_ = 0;
};
