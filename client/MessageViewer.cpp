#include "client/MessageViewer.h"

#include "client/Trace.h"

CMessageViewer::CMessageViewer(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Ovex Kelvo"));
}

void CMessageViewer::BringToFront()
{
    qCInfo(lcClient) << "Bringing the message window to the front";
    if (isVisible()) {
        raise();
        activateWindow();
    }
}
