#include "client/ImportCommand.h"

#include "client/BrevantDoc.h"
#include "client/MessageCheck.h"
#include "client/Trace.h"
#include "platform/ui/Ui.h"

#include <QFileDialog>

namespace client {

namespace mb = platform::mb;

ImportCommand::ImportCommand(CBrevantDoc* document, MessageCheck* check, FileChooser chooseFile)
    : document_(document), check_(check), chooseFile_(std::move(chooseFile))
{}

void ImportCommand::Run(QWidget* owner)
{
    // The import adds entries, which a waiting check still walks.
    if (check_->IsRunning()) {
        qCInfo(lcClient) << "A message check is under way; import not started";
        return;
    }
    const QString path = ChooseFile(owner);
    if (path.isEmpty())
        return;
    // Saying the data was imported when it was not would be a false success.
    if (!document_->ImportRegistration(path))
        return;
    if (platform::messageBox(QStringLiteral("The data from your registration file was imported.\n\n"
                                            "Would you like to check for new messages now?"),
                             QStringLiteral("Import successful"), mb::YesNo) == platform::id::Yes)
        check_->CheckForNewMessages();
}

QString ImportCommand::ChooseFile(QWidget* owner) const
{
    if (chooseFile_)
        return chooseFile_(owner);
    if (platform::isHeadless())
        return QString();
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("tova"));
    dialog.setNameFilters({QStringLiteral("Registration Files (*.tova)"), QStringLiteral("All Files (*.*)")});
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().constFirst();
    return QString();
}

}  // namespace client
