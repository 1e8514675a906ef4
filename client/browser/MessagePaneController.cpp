#include "client/browser/MessagePaneController.h"

#include "client/Trace.h"
#include "platform/ui/Ui.h"

#include <QBuffer>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace client {

namespace {

// Defines window.external before the page's own scripts run. The channel to the client
// opens asynchronously, so calls made before it is ready (a page that calls on load) are
// kept and made once it is.
constexpr char kExternalScript[] = R"JS(
(function () {
    var names = ["NextMessage", "PrevMssage", "DeleteMssage", "ShowSettings", "StartMessaging"];
    var host = null, waiting = [];
    function call(name) { if (host) host[name](); else waiting.push(name); }
    var external = {};
    names.forEach(function (name) { external[name] = function () { call(name); }; });
    Object.defineProperty(window, "external", { value: external, configurable: true, writable: true });
    function connect() {
        new QWebChannel(qt.webChannelTransport, function (channel) {
            host = channel.objects.external;
            waiting.splice(0).forEach(call);
        });
    }
    if (typeof qt !== "undefined") connect();
    else document.addEventListener("DOMContentLoaded", connect);
})();
)JS";

// The browser shows these itself; anything else belongs to another program.
bool IsBrowserScheme(const QString& scheme)
{
    static const QStringList shown{QStringLiteral("http"),  QStringLiteral("https"), QStringLiteral("file"),
                                   QStringLiteral("about"), QStringLiteral("data"),  QStringLiteral("blob")};
    return shown.contains(scheme) || scheme == QString::fromLatin1(MessageBrowser::ResourceScheme());
}

// The page behind a new window a page asked for: its first navigation goes to the user's
// browser instead, and the page goes away.
class OutsideWindowPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        if (isMainFrame && !handedOver_ && !url.isEmpty() && url.scheme() != u"about") {
            handedOver_ = true;
            QString error;
            if (!MessageBrowser::OpenOutside(url, &error))
                qCInfo(lcClient).noquote() << error;
            deleteLater();
        }
        return false;
    }

private:
    bool handedOver_ = false;
};

}  // namespace

MessagePaneExternal::MessagePaneExternal(MessagePageCalls* calls, QObject* parent) : QObject(parent), calls_(calls) {}

// Queued: the handler may run a modal dialog or navigate the page, which must not happen
// inside the channel's delivery of the call.
void MessagePaneExternal::Post(void (MessagePageCalls::*call)())
{
    if (calls_ == nullptr)
        return;
    QMetaObject::invokeMethod(
        this, [this, call] { (calls_->*call)(); }, Qt::QueuedConnection);
}

void MessagePaneExternal::NextMessage()
{
    Post(&MessagePageCalls::NextMessage);
}
void MessagePaneExternal::PrevMssage()
{
    Post(&MessagePageCalls::PrevMssage);
}
void MessagePaneExternal::DeleteMssage()
{
    Post(&MessagePageCalls::DeleteMssage);
}
void MessagePaneExternal::ShowSettings()
{
    Post(&MessagePageCalls::ShowSettings);
}
void MessagePaneExternal::StartMessaging()
{
    Post(&MessagePageCalls::StartMessaging);
}

void MessageResourceHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    QString name = job->requestUrl().path();
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    const std::optional<QByteArray> page = MessageBrowser::ClientPage(name);
    if (!page) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* body = new QBuffer(job);
    body->setData(*page);
    job->reply(QByteArrayLiteral("text/html"), body);
}

void MessagePaneController::RegisterResourceScheme()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QWebEngineUrlScheme scheme(MessageBrowser::ResourceScheme());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Pages from the network may not reach the client's own pages.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

MessagePaneController::MessagePaneController(QWebEngineProfile* profile, MessagePageCalls* calls, QObject* parent)
    : QWebEnginePage(profile, parent), external_(new MessagePaneExternal(calls, this))
{
    InstallExternal();
}

void MessagePaneController::InstallExternal()
{
    auto* channel = new QWebChannel(this);
    channel->registerObject(QStringLiteral("external"), external_);
    setWebChannel(channel, QWebEngineScript::MainWorld);

    QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!channelScript.open(QIODevice::ReadOnly)) {
        qCWarning(lcClient) << "The web channel script is missing; pages cannot call the client";
        return;
    }
    QWebEngineScript script;
    script.setName(QStringLiteral("external"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QString::fromUtf8(channelScript.readAll()) + QString::fromLatin1(kExternalScript));
    scripts().insert(script);
}

void MessagePaneController::javaScriptAlert(const QUrl&, const QString& msg)
{
    MessageBrowser::ShowMessageBox(msg, platform::mb::Ok | platform::mb::IconExclamation);
}

bool MessagePaneController::javaScriptConfirm(const QUrl&, const QString& msg)
{
    return MessageBrowser::ShowMessageBox(msg, platform::mb::OkCancel | platform::mb::IconQuestion) == platform::id::Ok;
}

void MessagePaneController::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message,
                                                     int lineNumber, const QString& sourceID)
{
    qCDebug(lcClient) << "Page" << sourceID << lineNumber << message;
}

bool MessagePaneController::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (IsBrowserScheme(url.scheme().toLower()))
        return true;
    // mailto: and the like: the user's own program, when the user clicked it.
    QString error;
    if (isMainFrame && type == NavigationTypeLinkClicked && !MessageBrowser::OpenOutside(url, &error))
        qCInfo(lcClient).noquote() << error;
    return false;
}

QWebEnginePage* MessagePaneController::createWindow(WebWindowType)
{
    return new OutsideWindowPage(profile(), this);
}

}  // namespace client
