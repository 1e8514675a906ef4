#include "client/MessagePane.h"

#include "client/MessagePaneController.h"
#include "client/Trace.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Ui.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

namespace {

// The engine reads its scheme table when its first object is made, and the view's own
// constructor may be that first object; so the registration runs before it.
QWidget* PrepareEngine(QWidget* parent)
{
    MessagePaneController::RegisterResourceScheme();
    return parent;
}

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
    case Qt::Key_F5:
        return true;
    default:
        return false;
    }
}

}  // namespace

QString CMessagePane::StoragePath()
{
    const QString data = platform::dataFolder();
    return data.isEmpty() ? QString() : data + QStringLiteral("/WebView");
}

QString CMessagePane::CachePath()
{
    return platform::folderPath(platform::Folder::Cache, QStringLiteral("Ovex\\Ovex Kelvo\\WebView"), true);
}

CMessagePane::CMessagePane(MessagePageCalls* calls, QWidget* parent) : QWebEngineView(PrepareEngine(parent))
{
    const QString storage = StoragePath();
    if (storage.isEmpty()) {
        // No data folder: the browser still works, it just keeps nothing.
        profile_ = new QWebEngineProfile(this);
    } else {
        profile_ = new QWebEngineProfile(QStringLiteral("WebView"), this);
        profile_->setPersistentStoragePath(storage);
        const QString cache = CachePath();
        if (!cache.isEmpty())
            profile_->setCachePath(cache);
    }
    profile_->installUrlSchemeHandler(MessagePaneController::ResourceScheme(), new MessageResourceHandler(profile_));

    controller_ = new MessagePaneController(profile_, calls, this);
    setPage(controller_);
    setContextMenuPolicy(Qt::NoContextMenu);

    connect(controller_, &QWebEnginePage::loadingChanged, this, &CMessagePane::OnLoadingChanged);
    connect(controller_, &QWebEnginePage::loadProgress, this, [this](int progress) { emit ProgressChange(progress, 100); });

    // The widget that takes the keys is made by the engine, and made again when the page
    // changes renderer; every child is watched as it comes.
    for (QObject* child : children())
        WatchChild(child);
}

CMessagePane::~CMessagePane()
{
    // The page goes before its profile, which the engine requires.
    delete controller_;
    controller_ = nullptr;
}

void CMessagePane::Navigate(const QUrl& url)
{
    qCDebug(lcClient) << "Navigating to" << url.toDisplayString();
    controller_->load(url);
}

bool CMessagePane::IsMessageUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https" || scheme == u"file");
}

bool CMessagePane::NavigateToMessage(const QUrl& url)
{
    if (!IsMessageUrl(url)) {
        qCInfo(lcClient) << "Not showing a message page of scheme" << url.scheme();
        return false;
    }
    Navigate(url);
    return true;
}

QUrl CMessagePane::ResourceUrl(const QString& name)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(MessagePaneController::ResourceScheme()));
    url.setPath(QStringLiteral("/") + name);
    return url;
}

void CMessagePane::OnLoadingChanged(const QWebEngineLoadingInfo& info)
{
    qCDebug(lcClient) << "Load" << info.status() << info.url().toDisplayString();
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        emit DocumentComplete(info.url(), true);
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        qCInfo(lcClient) << "Loading" << info.url().toDisplayString() << "failed:" << info.errorString();
        emit DocumentComplete(info.url(), false);
        break;
    case QWebEngineLoadingInfo::LoadStartedStatus:
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        break;
    }
}

void CMessagePane::WatchChild(QObject* child)
{
    child->removeEventFilter(this);
    child->installEventFilter(this);
}

bool CMessagePane::event(QEvent* event)
{
    if (event->type() == QEvent::ChildAdded)
        WatchChild(static_cast<QChildEvent*>(event)->child());
    return QWebEngineView::event(event);
}

bool CMessagePane::eventFilter(QObject* watched, QEvent* event)
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
    default:
        break;
    }
    return QWebEngineView::eventFilter(watched, event);
}

namespace {

class DefaultBrowserMaker : public MessageBrowserMaker {
public:
    CMessagePane* MakeBrowser(MessagePageCalls* calls, QWidget* parent) override
    {
        if (platform::isHeadless())
            return nullptr;
        return new CMessagePane(calls, parent);
    }
};

DefaultBrowserMaker g_defaultMaker;
MessageBrowserMaker* g_maker = &g_defaultMaker;

}  // namespace

MessageBrowserMaker& messageBrowserMaker() { return *g_maker; }

void setMessageBrowserMaker(MessageBrowserMaker* maker) { g_maker = maker != nullptr ? maker : &g_defaultMaker; }
