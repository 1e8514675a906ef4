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
    int code = 0;
    {
        launcher::OvexVaskStubRegApp app;
        code = app.Run(QCoreApplication::arguments().mid(1));
    }
    // A login that is not a first run lays out no text.
    platform::releaseFontConfiguration();
    return code;
}
