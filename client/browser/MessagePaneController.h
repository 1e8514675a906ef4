#pragma once

#include "client/ui/MessageBrowser.h"

#include <QObject>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

namespace client {

// The object published to pages as window.external (through QWebChannel). Its five
// methods take no arguments and return nothing, so a page cannot hand the client data.
class MessagePaneExternal : public QObject {
    Q_OBJECT
public:
    explicit MessagePaneExternal(MessagePageCalls* calls, QObject* parent = nullptr);

    Q_INVOKABLE void NextMessage();
    Q_INVOKABLE void PrevMssage();
    Q_INVOKABLE void DeleteMssage();
    Q_INVOKABLE void ShowSettings();
    Q_INVOKABLE void StartMessaging();

private:
    void Post(void (MessagePageCalls::*call)());

    MessagePageCalls* calls_;
};

// Serves the client's own pages (":/client/HTML/<NAME>") as "ovexres:/<NAME>".
class MessageResourceHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override;
};

// The page of the message pane: the host side of the browser. Alerts and confirms become
// the client's message boxes under the application title; window.external is the message
// window; links to schemes the browser does not show, and pages asked for in new windows,
// go to the user's own programs.
class MessagePaneController : public QWebEnginePage {
    Q_OBJECT
public:
    // `calls` may be null: the page calls then do nothing.
    MessagePaneController(QWebEngineProfile* profile, MessagePageCalls* calls, QObject* parent = nullptr);

    MessagePaneExternal* External() const { return external_; }

    // Registers the scheme of the client's own pages with the engine. Must run before any of
    // its objects exists; later registrations would be ignored.
    static void RegisterResourceScheme();

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    void InstallExternal();

    MessagePaneExternal* external_;
};

}  // namespace client
