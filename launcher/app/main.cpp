// The registration launcher program.
#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/app/OvexVaskStubRegApp.h"

#include "platform/ui/Ui.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The script's attachment types exist before the application starts.
    launcher::RegisterLauncherAttachments();
    QApplication qapp(argc, argv);
    platform::quitOnTerminationSignals();
    launcher::OvexVaskStubRegApp app;
    return app.Run(QCoreApplication::arguments().mid(1));
}
