// The message client program.
#include "client/BrevantApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    CBrevantApp app;
    return app.Run(QCoreApplication::arguments().mid(1));
}
