// The message client program.
#include "client/BrevantApp.h"
#include "client/VaskCommandLineInfo.h"
#include "client/ui/MessageBrowser.h"
#include "platform/ui/Ui.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Without a display Qt would abort with a core dump. A scheduled run checks without
    // windows; a start the user made says why it cannot go on.
    platform::prepareDisplayFallback();
    // Qt::AA_ShareOpenGLContexts stays unset, though the browser engine wants it: it would
    // load a GL driver on every start. The browser's loader makes that context itself.
    QApplication qapp(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (platform::displayFallbackTaken()) {
        client::VaskCommandLineInfo cmd;
        cmd.Parse(arguments);
        if (!cmd.NeedsNoDisplay()) {
            std::fputs(
                "OvexKelvo: no display to show its windows on (DISPLAY and WAYLAND_DISPLAY name none that "
                "can be opened); start it in a desktop session, or with /auto to check for messages "
                "without windows\n",
                stderr);
            return client::CBrevantApp::kExitNoDisplay;
        }
    }
    int code = 0;
    {
        client::CBrevantApp app;
        code = app.Run(arguments);
    }
    // Most runs (a scheduled check that finds nothing, a second start) lay out no text. The
    // browser's engine has threads of its own that may still use the configuration.
    if (!client::browserLibraryRequested())
        platform::releaseFontConfiguration();
    return code;
}
