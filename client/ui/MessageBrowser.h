#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <optional>

// The browser library's file, and the one function it exports, with C linkage:
//   client::MessageBrowser* ovex_make_message_browser(client::MessagePageCalls* calls, QWidget* parent);
#define OVEX_BROWSER_LIBRARY_NAME "libovex-browser.so.1"
#define OVEX_BROWSER_MAKE_FUNCTION "ovex_make_message_browser"

namespace client {

// What a shown page may ask of the message window through its window.external object.
// The calls arrive from the event loop, never inside the browser's own dispatch, so a
// handler may open dialogs or navigate the pane.
class MessagePageCalls {
public:
    virtual ~MessagePageCalls() = default;
    virtual void NextMessage() = 0;
    virtual void PrevMssage() = 0;
    virtual void DeleteMssage() = 0;
    virtual void ShowSettings() = 0;
    virtual void StartMessaging() = 0;
};

// The browser of the message window, as the window sees it. The engine behind it is a
// library of its own (client/browser), loaded when the window first shows a page, so a
// run that never shows one never pays for loading it.
class MessageBrowser : public QWidget {
    Q_OBJECT
public:
    explicit MessageBrowser(QWidget* parent = nullptr);
    ~MessageBrowser() override;

    // Loads `url`: the window drives the browser through this alone.
    virtual void Navigate(const QUrl& url) = 0;
    // Navigate when IsMessageUrl; false, with nothing loaded, otherwise.
    bool NavigateToMessage(const QUrl& url);

    // A message's own page is shown only from the web or a local file; a service that
    // names anything else (javascript:, data:, the client's own pages) is not followed.
    static bool IsMessageUrl(const QUrl& url);
    // The client's own page `name` (an HTML resource such as "LOADING.HTML").
    static QUrl ResourceUrl(const QString& name);
    // The scheme of those pages.
    static const QByteArray& ResourceScheme();

    // What the browser library takes from the client it runs in. It links none of the
    // client's code, so the message-box sink and URL opener stay the ones the client (or
    // a test) installed.
    // A message box under the application title; the id of the button chosen.
    static int ShowMessageBox(const QString& text, unsigned style);
    // Hands `url` to the user's own programs; false, with `error` saying why, when refused.
    static bool OpenOutside(const QUrl& url, QString* error = nullptr);
    // The client's own page `name`, as ResourceUrl names it.
    static std::optional<QByteArray> ClientPage(const QString& name);
    // Where the browser keeps what it stores between runs (empty: nowhere, with `error`
    // saying why), and its cache.
    static QString StoragePath(QString* error = nullptr);
    static QString CachePath(QString* error = nullptr);

signals:
    // A page finished loading (`succeeded` false when it failed). A load that was stopped
    // or replaced by another navigation reports nothing.
    void DocumentComplete(const QUrl& url, bool succeeded);
    // Load progress of the page now loading.
    void ProgressChange(int progress, int maximum);
};

// Where the message window gets its browser. By default one from the browser library
// where there is a display, and none headless: nobody could read a page there, and the
// engine is large and does not run under the sanitizers. Tests install their own.
class MessageBrowserMaker {
public:
    virtual ~MessageBrowserMaker() = default;
    // A browser for `calls`, a child of `parent`; nullptr: the window shows no pages.
    virtual MessageBrowser* MakeBrowser(MessagePageCalls* calls, QWidget* parent) = 0;
};
MessageBrowserMaker& messageBrowserMaker();
// Installs `maker` (not owned); nullptr restores the default.
void setMessageBrowserMaker(MessageBrowserMaker* maker);
// True once the browser library was asked for, whether or not it loaded: its engine may then
// run threads of its own.
bool browserLibraryRequested();

}  // namespace client
