#pragma once

#include "client/ui/MessageBrowser.h"

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;

namespace client {

class CBrevantDoc;
class CHoverButton;

// The message window: a fixed top-level window that shows one message of the document's
// shown list at a time in its browser, with a counter, a progress bar and the Delete,
// Settings, Previous and Next buttons. The view creates it hidden and shows it when there
// is something to read; its pages can call it through window.external. What its buttons
// and pages ask for goes out as signals to the view, which does it; closing it ends the
// program.
class CMessageViewer : public QDialog, public MessagePageCalls {
    Q_OBJECT
public:
    explicit CMessageViewer(QWidget* parent = nullptr);
    ~CMessageViewer() override;

    // Set by the view in its first update.
    void SetDocument(CBrevantDoc* document);

    // Takes the message at `position` of the shown list; false (and no current message)
    // when there is none there or it has no page.
    bool ShowMessageAt(int position);
    // The page that stands while the message's own page loads; the message follows.
    void ShowLoadingPage();
    // The page for nothing to show.
    void ShowEmptyPage();

    void UpdateCounter();
    void UpdateButtons();

    // Another start of the program, or the tray, asked for this window.
    void BringToFront();

    // The buttons and the pages' calls.
    void NextMessage() override;
    void PrevMssage() override;
    void DeleteMssage() override;
    void ShowSettings() override;
    void StartMessaging() override;
    void OnSettings();

    const QString& CurrentId() const { return currentId_; }
    const QString& CurrentUrl() const { return currentUrl_; }
    int CurrentIndex() const { return currentIndex_; }
    // The browser; nullptr until the window first shows a page, or when it shows none.
    MessageBrowser* Browser() const { return browser_; }

    // The message that welcomes a new user; it cannot be deleted with the button.
    static const QString& WelcomeMessageId();
    // The installed pages beside the program: EMPTY.HTML and the welcome page.
    static QString MessagesFolder();

signals:
    void nextRequested();
    void previousRequested();
    // The current message is to be deleted, and the next one shown.
    void deleteRequested();
    void settingsRequested();
    // A page opted the user in: the current message goes, and a check runs.
    void checkRequested();
    // The user closed the window.
    void closed();

protected:
    // Enter does not close the window.
    void accept() override;
    // The close box and Escape end the program.
    void reject() override;
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void LayoutControls();
    MessageBrowser* EnsureBrowser();
    void Navigate(const QUrl& url);
    void OnDocumentComplete(const QUrl& url, bool succeeded);
    void OnProgressChange(int progress, int maximum);
    void OnRunCheck();

    CBrevantDoc* document_ = nullptr;
    QString currentUrl_;
    QString currentId_;
    int currentIndex_ = -1;
    MessageBrowser* browser_ = nullptr;
    bool browserMade_ = false;
    QProgressBar* progress_;
    QLabel* counter_;
    CHoverButton* delete_;
    CHoverButton* settings_;
    CHoverButton* previous_;
    CHoverButton* next_;
    bool navigationPending_ = false;
    bool checkPending_ = false;
    int checkTimer_ = 0;
};

}  // namespace client
