// The message client program.
#include "client/BrevantApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Qt::AA_ShareOpenGLContexts stays unset, though the browser engine wants it: it would
    // load a GL driver on every start. The browser's loader makes that context itself.
    QApplication qapp(argc, argv);
    client::CBrevantApp app;
    return app.Run(QCoreApplication::arguments().mid(1));
}
