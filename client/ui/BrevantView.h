#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QTreeWidget;
class QTreeWidgetItem;
namespace platform {
class WaitClock;
class WindowRaiseServer;
}  // namespace platform

namespace client {

class CBrevantDoc;
class CMessageViewer;
class ImportCommand;
class InstanceGuard;
class MessageCheck;
class TrayAnnouncer;
class TrayNotifier;

// The view inside the hidden main frame: the list of messages (a report list of
// manufacturer, title and date) and the message window. Its first update is the start-up
// road that decides whether the program checks, shows, announces or ends. It owns the
// message window and answers its requests; the tray's announcing, the message check and
// the import are classes of their own that it drives. It knows its frame only as the
// window it closes.
class CBrevantView : public QWidget {
    Q_OBJECT
public:
    // What the view asks of the desktop; tests replace these.
    struct Services {
        TrayNotifier* tray = nullptr;          // not owned; nullptr: the desktop's tray
        platform::WaitClock* clock = nullptr;  // for the idle wait; nullptr: the system's
        // The registration file to import, empty when the user cancelled. Empty: a file dialog.
        std::function<QString(QWidget* owner)> chooseImportFile;
    };

    CBrevantView(CBrevantDoc* document, InstanceGuard* guard, QWidget* parent = nullptr);
    CBrevantView(CBrevantDoc* document, InstanceGuard* guard, Services services, QWidget* parent = nullptr);
    ~CBrevantView() override;

    CBrevantDoc* GetDocument() const { return document_; }
    // The message window, made on first use: a scheduled run that shows nothing never
    // makes it, nor the style, fonts and images it would load.
    CMessageViewer* Viewer();
    QTreeWidget* List() const { return list_; }

    // Adds `action` to the message window too, once it is made, so that the frame's F5
    // works where the user is.
    void AddMessageWindowAction(QAction* action);

    // The start-up road; runs once the frame exists.
    virtual void OnInitialUpdate();
    // The document changed: the list is filled again.
    virtual void OnUpdate();

    // The list shows the document's shown messages; counts the unread ones.
    void FillMessageList();
    void SizeColumns();

    // Shows the current item's message, or the empty page when there is none.
    void ShowMessage();
    void ShowMessageById(const QString& id);
    // Moves the selection by `step` (+1 or -1) to the next item that has a page, wrapping.
    void StepSelection(int step);
    void SelectFirstUnread();

    // Brings the tray icon up to date with the unread count; `announce` first waits for
    // the user to pause, then shows the balloon and plays the sound the user chose.
    void NotifyNewMessages(bool announce);

    // The message check: channels and new messages from the service for each manufacturer
    // entry, stored, listed and announced. A failure ends the program. False when the
    // check did not complete: it failed, or another one was still under way.
    bool CheckForNewMessages();
    // True while a check waits for the service; the window's close waits for its end.
    bool IsChecking() const;
    // The main frame was asked to close during a check: it closes once the check is over.
    void CloseAfterCheck();

    // File > Import Registration.
    void OnImportRegistration();
    // A double click on the tray icon or a click on its balloon.
    void OnTrayNotify();

    int Current() const { return current_; }
    void SetCurrent(int current) { current_ = current; }
    int UnreadCount() const { return unreadCount_; }
    bool TrayIconShown() const;

signals:
    // A check began or ended; the frame defers a close meanwhile.
    void checkingChanged(bool checking);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateMessageWindow();
    void OnListItemActivate(QTreeWidgetItem* item);
    // The message window's requests: its buttons and its pages' calls.
    void OnDeleteMessage();
    void OnSettings();
    void OnCheckFromPage();
    bool IsShowable(int index) const;
    bool IsUnread(int index) const;
    QString ItemId(int index) const;
    void PostClose();
    void PlaceNearTray();

    CBrevantDoc* document_;
    InstanceGuard* guard_;
    QTreeWidget* list_ = nullptr;
    std::unique_ptr<CMessageViewer> viewer_;
    QList<QAction*> windowActions_;
    MessageCheck* check_;
    TrayAnnouncer* tray_;
    std::unique_ptr<ImportCommand> import_;
    platform::WindowRaiseServer* raiseServer_ = nullptr;
    int current_ = -1;
    bool listReady_ = false;
    bool placeNearTray_ = false;   // the message window opens by the tray once made
    bool columnsPending_ = false;  // sized when the list is first shown
    int unreadCount_ = 0;
};

}  // namespace client
