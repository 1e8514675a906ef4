#include "launcher/app/MainFrame.h"

#include "regengine/print/PrintMeDoc.h"
#include "regengine/print/PrintMeView.h"
#include "regengine/ui/display/DialogItem.h"

#include <QLabel>
#include <QStatusBar>
#include <QToolBar>

using namespace engine;

namespace launcher {

namespace {

constexpr int kToolBarId = 0xE800;
constexpr int kIndicatorPanes = 4;

}  // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create()
{
    // Made before the script runs, so a printed run finds its view.
    document_ = std::make_unique<CPrintMeDoc>();
    if (!document_->OnNewDocument())
        return false;
    view_ = new CPrintMeView(this);
    setCentralWidget(view_);
    return true;
}

// The bars are made when the frame is first shown, which in the product it never is: the
// toolbar's style icons and the status bar's font (its size grip measures it) would be
// loaded at every login for nothing.
void CMainFrame::showEvent(QShowEvent* event)
{
    if (!barsMade_) {
        barsMade_ = true;
        CreateBars();
    }
    QMainWindow::showEvent(event);
}

// The toolbar, and the status bar's message pane and three key indicators.
void CMainFrame::CreateBars()
{
    addToolBar(QString())->setProperty(kDialogItemIdProperty, kToolBarId);
    QStatusBar* status = statusBar();
    for (int pane = 0; pane < kIndicatorPanes; ++pane)
        status->addPermanentWidget(new QLabel(status), pane == 0 ? 1 : 0);
}

}  // namespace launcher
