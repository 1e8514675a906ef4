#include "client/MainFrame.h"

#include "client/BrevantDoc.h"
#include "platform/ui/Ui.h"

#include <QCloseEvent>

CMainFrame::CMainFrame(CBrevantDoc* document, QWidget* parent) : QMainWindow(parent), document_(document)
{
    setWindowTitle(QStringLiteral("Desktop Brevant"));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!closed_) {
        closed_ = true;
        if (document_)
            document_->OnCloseDocument();
        platform::postQuit(0);
    }
    event->accept();
}
