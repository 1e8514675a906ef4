#pragma once

#include <QUrl>
#include <QWebEngineView>

class MessagePageCalls;
class MessagePaneController;
class QWebEngineLoadingInfo;
class QWebEngineProfile;

// The browser of the message window. It keeps its cookies and storage in the client's own
// folders, shows no context menu, and lets only Tab, Enter, Escape and F5 reach the page:
// every other key press is dropped. Key releases and everything else pass.
class CMessagePane : public QWebEngineView {
    Q_OBJECT
public:
    // `calls` receives the pages' window.external calls; it may be null.
    explicit CMessagePane(MessagePageCalls* calls, QWidget* parent = nullptr);
    ~CMessagePane() override;

    // Loads `url`: the window drives the browser through this alone.
    void Navigate(const QUrl& url);

    // A message's own page is shown only from the web or a local file; a service that
    // names anything else (javascript:, data:, the client's own pages) is not followed.
    static bool IsMessageUrl(const QUrl& url);
    // Navigate when IsMessageUrl; false, with nothing loaded, otherwise.
    bool NavigateToMessage(const QUrl& url);

    // The client's own page `name` (an HTML resource such as "LOADING.HTML").
    static QUrl ResourceUrl(const QString& name);

    MessagePaneController* Controller() const { return controller_; }
    QWebEngineProfile* Profile() const { return profile_; }

    // Where the browser keeps what it stores between runs, and its cache.
    static QString StoragePath();
    static QString CachePath();

signals:
    // A page finished loading (`succeeded` false when it failed). A load that was stopped
    // or replaced by another navigation reports nothing.
    void DocumentComplete(const QUrl& url, bool succeeded);
    // Load progress of the page now loading.
    void ProgressChange(int progress, int maximum);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void WatchChild(QObject* child);

    QWebEngineProfile* profile_ = nullptr;
    MessagePaneController* controller_ = nullptr;
};

// Where the message window gets its browser. By default a real one where there is a
// display, and none headless: nobody could read a page there, and the engine is large and
// does not run under the sanitizers. Tests install their own.
class MessageBrowserMaker {
public:
    virtual ~MessageBrowserMaker() = default;
    // A browser for `calls`, a child of `parent`; nullptr: the window shows no pages.
    virtual CMessagePane* MakeBrowser(MessagePageCalls* calls, QWidget* parent) = 0;
};
MessageBrowserMaker& messageBrowserMaker();
// Installs `maker` (not owned); nullptr restores the default.
void setMessageBrowserMaker(MessageBrowserMaker* maker);
