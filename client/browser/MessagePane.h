#pragma once

#include "client/ui/MessageBrowser.h"

#include <QUrl>

class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;

#define OVEX_BROWSER_EXPORT __attribute__((visibility("default")))

namespace client {

class MessagePaneController;

// The browser of the message window, on Qt WebEngine. It keeps its cookies and storage in
// the client's own folders, shows no context menu, and lets only Tab, Enter, Escape and F5
// reach the page: every other key press is dropped. Key releases and everything else pass.
class OVEX_BROWSER_EXPORT CMessagePane : public MessageBrowser {
    Q_OBJECT
public:
    // `calls` receives the pages' window.external calls; it may be null.
    explicit CMessagePane(MessagePageCalls* calls, QWidget* parent = nullptr);
    ~CMessagePane() override;

    void Navigate(const QUrl& url) override;

    // The engine's view filling the pane; its focus proxy takes the page's input.
    QWebEngineView* View() const { return view_; }
    MessagePaneController* Controller() const { return controller_; }
    QWebEngineProfile* Profile() const { return profile_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);

    QWebEngineProfile* profile_ = nullptr;
    MessagePaneController* controller_ = nullptr;
    QWebEngineView* view_ = nullptr;
};

}  // namespace client

// The library's entry point, found by name when the client loads the library.
extern "C" OVEX_BROWSER_EXPORT client::MessageBrowser* ovex_make_message_browser(client::MessagePageCalls* calls,
                                                                                 QWidget* parent);
