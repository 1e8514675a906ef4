#include "client/BrevantView.h"

#include "client/InstanceGuard.h"
#include "client/MessageViewer.h"
#include "client/Trace.h"
#include "platform/instance/Instance.h"

CBrevantView::CBrevantView(CBrevantDoc* document, InstanceGuard* guard, QWidget* parent)
    : QWidget(parent), document_(document), guard_(guard)
{
}

CBrevantView::~CBrevantView() = default;

void CBrevantView::OnInitialUpdate()
{
    // The message window is a top-level window of its own, hidden until there is
    // something to show.
    viewer_ = std::make_unique<CMessageViewer>();

    // Publish the window so that a second start can bring it forward.
    if (guard_ && guard_->IsFirst()) {
        raiseServer_ = new platform::WindowRaiseServer(this);
        connect(raiseServer_, &platform::WindowRaiseServer::raiseRequested, viewer_.get(),
                &CMessageViewer::BringToFront);
        const quint32 token = raiseServer_->listen(guard_->WindowName());
        if (token != 0) {
            guard_->SetWindowHandle(token);
            qCInfo(lcClient) << "Message window published for later starts";
        }
        else
            qCWarning(lcClient) << "Unable to publish the message window for later starts";
    }
}
