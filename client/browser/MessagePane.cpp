#include "client/browser/MessagePane.h"

#include "client/Trace.h"
#include "client/browser/MessagePaneController.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace client {

namespace {

// The keys a page may have. The rest would let a page be left by Backspace, reloaded,
// searched or otherwise driven as a browser, which the message window is not.
bool ReachesPage(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:  // Shift+Tab
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_F5: return true;
    default: return false;
    }
}

// The engine's view with the key filter. The widget that takes the keys is made by the
// engine, and made again when the page changes renderer; every child is watched as it
// comes.
class FilteringView : public QWebEngineView {
public:
    explicit FilteringView(QWidget* parent) : QWebEngineView(parent)
    {
        setContextMenuPolicy(Qt::NoContextMenu);
        for (QObject* child : children())
            WatchChild(child);
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded)
            WatchChild(static_cast<QChildEvent*>(event)->child());
        return QWebEngineView::event(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // The page's keys go to the page before any shortcut of the window (F5 is one).
            if (ReachesPage(*static_cast<QKeyEvent*>(event))) {
                event->accept();
                return true;
            }
            break;
        case QEvent::KeyPress:
            if (!ReachesPage(*static_cast<QKeyEvent*>(event)))
                return true;
            break;
        default: break;
        }
        return QWebEngineView::eventFilter(watched, event);
    }

private:
    void WatchChild(QObject* child)
    {
        child->removeEventFilter(this);
        child->installEventFilter(this);
    }
};

}  // namespace

CMessagePane::CMessagePane(MessagePageCalls* calls, QWidget* parent) : MessageBrowser(parent)
{
    // The engine reads its scheme table when its first object is made, which may be here.
    MessagePaneController::RegisterResourceScheme();

    QString error;
    const QString storage = StoragePath(&error);
    if (storage.isEmpty()) {
        // No data folder: the browser still works, it just keeps nothing.
        qCInfo(lcClient).noquote() << "The browser keeps nothing between runs:" << error;
        profile_ = new QWebEngineProfile(this);
    } else {
        profile_ = new QWebEngineProfile(QStringLiteral("WebView"), this);
        profile_->setPersistentStoragePath(storage);
        const QString cache = CachePath(&error);
        if (!cache.isEmpty())
            profile_->setCachePath(cache);
        else
            qCInfo(lcClient).noquote() << "The browser's cache stays in its default place:" << error;
    }
    profile_->installUrlSchemeHandler(ResourceScheme(), new MessageResourceHandler(profile_));

    view_ = new FilteringView(this);
    controller_ = new MessagePaneController(profile_, calls, this);
    view_->setPage(controller_);
    setFocusProxy(view_);

    connect(controller_, &QWebEnginePage::loadingChanged, this, &CMessagePane::OnLoadingChanged);
    connect(controller_, &QWebEnginePage::loadProgress, this,
            [this](int progress) { emit ProgressChange(progress, 100); });
}

CMessagePane::~CMessagePane()
{
    // The page goes before its view and its profile, which the engine requires.
    delete controller_;
    controller_ = nullptr;
    delete view_;
    view_ = nullptr;
}

void CMessagePane::Navigate(const QUrl& url)
{
    qCDebug(lcClient) << "Navigating to" << url.toDisplayString();
    controller_->load(url);
}

void CMessagePane::resizeEvent(QResizeEvent* event)
{
    view_->setGeometry(QRect(QPoint(0, 0), event->size()));
    MessageBrowser::resizeEvent(event);
}

void CMessagePane::OnLoadingChanged(const QWebEngineLoadingInfo& info)
{
    qCDebug(lcClient) << "Load" << info.status() << info.url().toDisplayString();
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus: emit DocumentComplete(info.url(), true); break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        qCInfo(lcClient) << "Loading" << info.url().toDisplayString() << "failed:" << info.errorString();
        emit DocumentComplete(info.url(), false);
        break;
    case QWebEngineLoadingInfo::LoadStartedStatus:
    case QWebEngineLoadingInfo::LoadStoppedStatus: break;
    }
}

}  // namespace client

client::MessageBrowser* ovex_make_message_browser(client::MessagePageCalls* calls, QWidget* parent)
{
    return new client::CMessagePane(calls, parent);
}
