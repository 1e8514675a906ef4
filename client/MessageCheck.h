#pragma once

#include <QObject>
#include <QString>

#include <cstddef>

struct sqlite3;

namespace client {

class CBrevantDoc;

// The message check: for each manufacturer entry of the document, its channels and its new
// messages from the service, stored and saved as they come. Its end is handed on: what it
// brought is announced, and a failed check or a close that waited for it ends the run. The
// view does both; this knows nothing of windows.
class MessageCheck : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Completed,
        Failed,          // a call failed: the error was reported, and the run is to end
        AlreadyRunning,  // another check waits for the service; nothing was done
    };

    explicit MessageCheck(CBrevantDoc* document, QObject* parent = nullptr);

    // Checks every entry. A failing call ends the check; what the entries before it
    // stored stays. An interactive run shows the reason in a message box.
    Result Run();
    // True while a check waits for the service.
    bool IsRunning() const { return running_; }

    // Runs the check and hands on its end: `completed` after one that completed (announced
    // in a scheduled run), then `closeRequested` when it failed or a close waited for it.
    // False when the check did not complete: it failed, or another one was still under way.
    bool CheckForNewMessages();
    // The program was asked to close during a check: it closes once the check is over.
    void CloseAfterCheck() { closeAfterCheck_ = true; }

signals:
    // The check began or ended; a close of the program must wait for its end.
    void runningChanged(bool running);
    // One entry is checked: its messages are in the document and saved.
    void entryChecked();
    // The check completed: the unread count is to be brought up to date, and with
    // `announce` announced.
    void completed(bool announce);
    // The run is to end, once back in the event loop.
    void closeRequested();

private:
    bool CheckAll();
    // Throws ProxyError.
    void CheckEntry(std::size_t index, const QString& today, sqlite3* db);

    CBrevantDoc* document_;
    bool running_ = false;
    bool closeAfterCheck_ = false;
};

}  // namespace client
