#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace launcher {

// A manual-reset event: set stays set; waiters wake when it is.
class ManualEvent {
public:
    void Set();
    bool IsSet() const;
    // Waits for this or `other` to be set.
    static void WaitEither(ManualEvent& a, ManualEvent& b);

private:
    // One lock for all events, so a wait on two of them needs no polling.
    static std::mutex& Lock();
    static std::condition_variable& Changed();
    bool set_ = false;
};

// The update's worker: the thread that asks the update server, downloads, checks and saves
// the page script, and what it shares with the dialog. The status text and progress are
// guarded by the mutex; the rest is written by the thread alone before it reports Done.
// Reports reach the dialog as queued calls on the dialog's thread, and only while it is
// attached: the dialog detaches before it goes, so no report ever finds it gone.
class ResUpdateWorker : public std::enable_shared_from_this<ResUpdateWorker> {
public:
    // The dialog's messages.
    enum Message { Status = 52, Done = 53, ShowOk = 54 };

    struct Config {
        QString host;
        quint16 port = 443;
        QString product;  // PROD
        QString build;    // BlVr
        QString version;  // VERS
        QString language;
        // Status texts by number (table "RUPD", by position), resolved on the window's
        // thread before the worker starts.
        QStringList texts;
        // Saves the checked text; runs on the worker's thread.
        std::function<void(const QString& text)> save;
        // Clears the process's update-allowed flag.
        std::function<void()> started;
    };

    explicit ResUpdateWorker(Config config);
    ~ResUpdateWorker();

    // Reports go to `onMessage`, called on `receiver`'s thread while it lives and is
    // attached.
    void Attach(QObject* receiver, std::function<void(int message)> onMessage);
    void Detach();
    // Starts the thread, which holds the worker until its last wait ends.
    void Start();

    ManualEvent& StopEvent() { return stop_; }
    ManualEvent& DoneEvent() { return done_; }

    QString StatusText() const;
    int Progress() const;
    // The status by number, the progress raised by `add` (kept within 100).
    void SetStatus(int number, int add = 0);
    void SetStatusText(const QString& text, int progress);

    bool Found() const { return found_; }
    // The checked text; empty unless found.
    const QString& Downloaded() const { return downloaded_; }

    // Waits up to `ms` for every worker thread of the process to end; true when they did.
    static bool WaitForWorkers(int ms);

private:
    void Run();
    void Report(int message);
    bool Stopped() const { return stop_.IsSet(); }

    Config config_;
    mutable QMutex mutex_;
    QString status_;
    int progress_ = 0;
    QPointer<QObject> receiver_;
    std::function<void(int)> onMessage_;
    ManualEvent stop_;
    ManualEvent done_;
    bool found_ = false;
    QString downloaded_;
};

}  // namespace launcher
