#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace client {

class CBrevantDoc;
class MessageCheck;

// File > Import Registration: the registration file asked of the user, imported into the
// document, and a check offered once it is in.
class ImportCommand {
public:
    // The registration file to import, empty when the user cancelled.
    using FileChooser = std::function<QString(QWidget* owner)>;

    // `chooseFile` empty: a file dialog, none where there is no display.
    ImportCommand(CBrevantDoc* document, MessageCheck* check, FileChooser chooseFile);

    // `owner` is the window the file dialog belongs to.
    void Run(QWidget* owner);

private:
    QString ChooseFile(QWidget* owner) const;

    CBrevantDoc* document_;
    MessageCheck* check_;
    FileChooser chooseFile_;
};

}  // namespace client
