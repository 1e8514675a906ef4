// The registration launcher program.
#include "launcher/OvexVaskStubRegApp.h"

#include "platform/ui/Ui.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    platform::quitOnTerminationSignals();
    OvexVaskStubRegApp app;
    return app.Run(QCoreApplication::arguments().mid(1));
}
