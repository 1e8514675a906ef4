#pragma once

#include <QObject>
#include <QString>

#include <cstddef>

struct sqlite3;

namespace client {

class CBrevantDoc;

// The message check: for each manufacturer entry of the document, its channels and its new
// messages from the service, stored and saved as they come. The view starts it
// (CheckForNewMessages) and announces what it brought; this knows nothing of windows.
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

signals:
    // The check began or ended; a close of the program must wait for its end.
    void runningChanged(bool running);
    // One entry is checked: its messages are in the document and saved.
    void entryChecked();

private:
    bool CheckAll();
    // Throws ProxyError.
    void CheckEntry(std::size_t index, const QString& today, sqlite3* db);

    CBrevantDoc* document_;
    bool running_ = false;
};

}  // namespace client
