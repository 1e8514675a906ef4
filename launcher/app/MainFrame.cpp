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
    QToolBar* toolBar = addToolBar(QString());
    if (toolBar == nullptr)
        return false;
    toolBar->setProperty(kDialogItemIdProperty, kToolBarId);
    QStatusBar* status = statusBar();
    if (status == nullptr)
        return false;
    // The message pane and the three key indicators.
    for (int pane = 0; pane < kIndicatorPanes; ++pane)
        status->addPermanentWidget(new QLabel(status), pane == 0 ? 1 : 0);
    // Made before the script runs, so a printed run finds its view.
    document_ = std::make_unique<CPrintMeDoc>();
    if (!document_->OnNewDocument())
        return false;
    view_ = new CPrintMeView(this);
    setCentralWidget(view_);
    return true;
}

}  // namespace launcher
