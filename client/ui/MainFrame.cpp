#include "client/ui/MainFrame.h"

#include "client/BrevantDoc.h"
#include "platform/ui/Ui.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace client {

CMainFrame::CMainFrame(CBrevantDoc* document, QWidget* parent) : QMainWindow(parent), document_(document)
{
    // The title alone: the document's name is not added to it.
    setWindowTitle(QStringLiteral("Desktop Brevant"));

    importAction_ = new QAction(QStringLiteral("&Import Registration"), this);
    connect(importAction_, &QAction::triggered, this, &CMainFrame::importRegistrationRequested);
    // A menu text with a tab shows what follows it as the key; the shortcut itself is the
    // action's.
    checkAction_ = new QAction(QStringLiteral("Check for New &Messages\tF5"), this);
    checkAction_->setShortcut(QKeySequence(Qt::Key_F5));
    connect(checkAction_, &QAction::triggered, this, &CMainFrame::checkForMessagesRequested);
}

// The bars are made when the frame is first shown, which in this program it never is:
// their style icons would cost every start, scheduled runs included, for nothing.
void CMainFrame::showEvent(QShowEvent* event)
{
    if (!barsMade_) {
        barsMade_ = true;
        CreateBars();
    }
    QMainWindow::showEvent(event);
}

// The editing and help entries have no handler in this program, so they stay disabled,
// as commands without a handler are.
void CMainFrame::CreateBars()
{
    auto disabled = [](QMenu* menu, const QString& text) { menu->addAction(text)->setEnabled(false); };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(importAction_);
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    disabled(edit, QStringLiteral("&Undo\tCtrl+Z"));
    edit->addSeparator();
    disabled(edit, QStringLiteral("Cu&t\tCtrl+X"));
    disabled(edit, QStringLiteral("&Copy\tCtrl+C"));
    disabled(edit, QStringLiteral("&Paste\tCtrl+V"));

    QToolBar* toolBar = addToolBar(QStringLiteral("Standard"));
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->addAction(importAction_);
    toolBar->addAction(checkAction_);
    statusBar()->showMessage(QStringLiteral("Ready"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* toolBarToggle = toolBar->toggleViewAction();
    toolBarToggle->setText(QStringLiteral("&Toolbar"));
    view->addAction(toolBarToggle);
    QAction* statusToggle = view->addAction(QStringLiteral("&Status Bar"));
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    connect(statusToggle, &QAction::toggled, statusBar(), &QWidget::setVisible);

    QMenu* messages = menuBar()->addMenu(QStringLiteral("&Messages"));
    messages->addAction(checkAction_);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    disabled(help, QStringLiteral("&Help Topics"));
    help->addSeparator();
    disabled(help, QStringLiteral("&About Ovex Kelvo..."));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The document must outlive a check that waits for the service; the close is carried
    // out once the check is over.
    if (!closed_ && closeDeferred_) {
        emit closeDeferred();
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        if (document_)
            document_->OnCloseDocument();
        platform::postQuit(0);
    }
    event->accept();
}

}  // namespace client
