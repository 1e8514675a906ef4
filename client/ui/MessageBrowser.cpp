#include "client/ui/MessageBrowser.h"

#include "client/ResString.h"
#include "client/Trace.h"
#include "platform/resources/Resources.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Ui.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QtGui/qtguiglobal.h>
#if QT_CONFIG(opengl)
#include <QOpenGLContext>

// In no public header, but Qt's own modules declare it so, and Qt WebEngine takes it from
// QtGui as well: wherever the engine loads, it is there.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE
#endif

namespace client {

MessageBrowser::MessageBrowser(QWidget* parent) : QWidget(parent) {}

MessageBrowser::~MessageBrowser() = default;

bool MessageBrowser::NavigateToMessage(const QUrl& url)
{
    if (!IsMessageUrl(url)) {
        qCInfo(lcClient) << "Not showing a message page of scheme" << url.scheme();
        return false;
    }
    Navigate(url);
    return true;
}

bool MessageBrowser::IsMessageUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https" || scheme == u"file");
}

QUrl MessageBrowser::ResourceUrl(const QString& name)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(ResourceScheme()));
    url.setPath(QStringLiteral("/") + name);
    return url;
}

const QByteArray& MessageBrowser::ResourceScheme()
{
    static const QByteArray scheme = QByteArrayLiteral("ovexres");
    return scheme;
}

int MessageBrowser::ShowMessageBox(const QString& text, unsigned style)
{
    return platform::messageBox(text, ResString(57344), style);
}

bool MessageBrowser::OpenOutside(const QUrl& url, QString* error)
{
    return platform::openUrl(url, error);
}

std::optional<QByteArray> MessageBrowser::ClientPage(const QString& name)
{
    return platform::findResource(QStringLiteral("client"), QStringLiteral("HTML"), name);
}

QString MessageBrowser::StoragePath(QString* error)
{
    const QString data = platform::dataFolder(error);
    return data.isEmpty() ? QString() : data + QStringLiteral("/WebView");
}

QString MessageBrowser::CachePath(QString* error)
{
    return platform::folderPath(platform::Folder::Cache, QStringLiteral("Ovex\\Ovex Kelvo\\WebView"), true, error);
}

namespace {

#if QT_CONFIG(opengl)
QOpenGLContext* g_shareContext = nullptr;

void DeleteShareContext()
{
    qt_gl_set_global_share_context(nullptr);
    delete g_shareContext;
    g_shareContext = nullptr;
}
#endif

// The engine draws through the OpenGL context Qt shares between windows, which Qt makes
// while the application starts when Qt::AA_ShareOpenGLContexts is set: that would cost
// every start on a display the load of a GL driver (tens of milliseconds), though most
// starts show no page. Made here, just before the engine loads, only the runs that show one
// pay, and the engine finds the context as it would have with the attribute.
void ProvideShareContext()
{
#if QT_CONFIG(opengl)
    if (QOpenGLContext::globalShareContext() != nullptr)
        return;
    g_shareContext = new QOpenGLContext;
    g_shareContext->create();  // a failure is the engine's to report, as with the attribute
    qt_gl_set_global_share_context(g_shareContext);
    // Before the window system goes; the engine's own clean-up, registered later, runs first.
    qAddPostRoutine(DeleteShareContext);
#endif
}

using MakeFunction = MessageBrowser* (*)(MessagePageCalls* calls, QWidget* parent);

// The browser library, loaded on the first browser asked for. A library that cannot be
// had is reported once, and the window then shows no pages.
bool g_browserLibraryRequested = false;

MakeFunction LoadBrowserLibrary()
{
    static MakeFunction make = [] {
        g_browserLibraryRequested = true;
        QStringList errors;
        for (const QString& candidate : platform::libraryCandidates(QStringLiteral(OVEX_BROWSER_LIBRARY_NAME))) {
            QLibrary library(candidate);
            // The engine cannot be unloaded once it has run.
            library.setLoadHints(QLibrary::PreventUnloadHint);
            ProvideShareContext();
            if (!library.load()) {
                errors << library.errorString();
                continue;
            }
            if (auto found = reinterpret_cast<MakeFunction>(library.resolve(OVEX_BROWSER_MAKE_FUNCTION)))
                return found;
            errors << library.errorString();
        }
        qCWarning(lcClient).noquote() << "The browser library could not be loaded; no pages are shown:"
                                      << errors.join(QStringLiteral("; "));
        return MakeFunction(nullptr);
    }();
    return make;
}

class DefaultBrowserMaker : public MessageBrowserMaker {
public:
    MessageBrowser* MakeBrowser(MessagePageCalls* calls, QWidget* parent) override
    {
        if (platform::isHeadless())
            return nullptr;
        const MakeFunction make = LoadBrowserLibrary();
        return make != nullptr ? make(calls, parent) : nullptr;
    }
};

DefaultBrowserMaker g_defaultMaker;
MessageBrowserMaker* g_maker = &g_defaultMaker;

}  // namespace

bool browserLibraryRequested()
{
    return g_browserLibraryRequested;
}

MessageBrowserMaker& messageBrowserMaker()
{
    return *g_maker;
}

void setMessageBrowserMaker(MessageBrowserMaker* maker)
{
    g_maker = maker != nullptr ? maker : &g_defaultMaker;
}

}  // namespace client
