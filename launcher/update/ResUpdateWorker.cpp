#include "launcher/update/ResUpdateWorker.h"

#include "launcher/update/ResUpdateChecksum.h"
#include "launcher/update/UpdateRpc.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/transport/InetLoader.h"

#include "platform/text/Format.h"

#include <QMetaObject>
#include <QMutexLocker>

#include <chrono>
#include <thread>

using namespace engine;

namespace launcher {

namespace {

// The server's "no update for this product" fault: not an error to show.
constexpr int kNoUpdateFault = 801;

std::mutex& workersLock()
{
    static std::mutex m;
    return m;
}
std::condition_variable& workersChanged()
{
    static std::condition_variable cv;
    return cv;
}
int& liveWorkers()
{
    static int n = 0;
    return n;
}

QString textOf(XMLRPC_VALUE value)
{
    const char* s = XMLRPC_GetValueString(value);
    return s ? QString::fromUtf8(s, XMLRPC_GetValueStringLen(value)) : QString();
}

}  // namespace

std::mutex& ManualEvent::Lock()
{
    static std::mutex m;
    return m;
}

std::condition_variable& ManualEvent::Changed()
{
    static std::condition_variable cv;
    return cv;
}

void ManualEvent::Set()
{
    {
        std::lock_guard<std::mutex> guard(Lock());
        set_ = true;
    }
    Changed().notify_all();
}

bool ManualEvent::IsSet() const
{
    std::lock_guard<std::mutex> guard(Lock());
    return set_;
}

void ManualEvent::WaitEither(ManualEvent& a, ManualEvent& b)
{
    std::unique_lock<std::mutex> guard(Lock());
    Changed().wait(guard, [&] { return a.set_ || b.set_; });
}

ResUpdateWorker::ResUpdateWorker(Config config) : config_(std::move(config)) {}

ResUpdateWorker::~ResUpdateWorker() = default;

void ResUpdateWorker::Attach(QObject* receiver, std::function<void(int)> onMessage)
{
    QMutexLocker locker(&mutex_);
    receiver_ = receiver;
    onMessage_ = std::move(onMessage);
}

void ResUpdateWorker::Detach()
{
    QMutexLocker locker(&mutex_);
    receiver_.clear();
    onMessage_ = nullptr;
}

void ResUpdateWorker::Report(int message)
{
    QMutexLocker locker(&mutex_);
    if (!receiver_ || !onMessage_)
        return;
    // Queued: a call for a receiver deleted meanwhile is dropped by Qt, and the dialog
    // detaches under this mutex before it goes.
    std::function<void(int)> handler = onMessage_;
    QMetaObject::invokeMethod(
        receiver_.data(), [handler, message] { handler(message); }, Qt::QueuedConnection);
}

QString ResUpdateWorker::StatusText() const
{
    QMutexLocker locker(&mutex_);
    return status_;
}

int ResUpdateWorker::Progress() const
{
    QMutexLocker locker(&mutex_);
    return progress_;
}

void ResUpdateWorker::SetStatus(int number, int add)
{
    {
        QMutexLocker locker(&mutex_);
        status_ = number >= 0 && number < config_.texts.size() ? config_.texts[number] : QString();
        progress_ = qMin(100, progress_ + add);
    }
    Report(Status);
}

void ResUpdateWorker::SetStatusText(const QString& text, int progress)
{
    {
        QMutexLocker locker(&mutex_);
        status_ = text;
        progress_ = qBound(0, progress, 100);
    }
    Report(Status);
}

void ResUpdateWorker::Start()
{
    {
        std::lock_guard<std::mutex> guard(workersLock());
        ++liveWorkers();
    }
    std::shared_ptr<ResUpdateWorker> self = shared_from_this();
    std::thread([self] {
        self->Run();
        {
            std::lock_guard<std::mutex> guard(workersLock());
            --liveWorkers();
        }
        workersChanged().notify_all();
    }).detach();
}

bool ResUpdateWorker::WaitForWorkers(int ms)
{
    std::unique_lock<std::mutex> guard(workersLock());
    return workersChanged().wait_for(guard, std::chrono::milliseconds(ms), [] { return liveWorkers() == 0; });
}

void ResUpdateWorker::Run()
{
    if (config_.started)
        config_.started();
    // Each step runs only while no stop was asked; a failed one reports ShowOk and ends.
    auto run = [this]() -> void {
        if (Stopped())
            return;
        SetStatus(4);
        if (!LoadWinInet()) {
            SetStatus(5);
            Report(ShowOk);
            return;
        }
        SetStatus(4, 5);
        if (InetLoader::Instance().Functions().attemptConnect() != OVEX_INET_ERROR_SUCCESS) {
            SetStatus(5);
            Report(ShowOk);
            return;
        }
        SetStatus(4, 5);
        UpdateRpc rpc;
        if (Stopped())
            return;
        if (!rpc.Open()) {
            Report(ShowOk);
            return;
        }
        if (!rpc.Connect(config_.host, config_.port)) {
            SetStatus(5);
            Report(ShowOk);
            return;
        }
        SetStatus(6, 5);
        if (Stopped())
            return;

        SetStatus(7);
        xmlrpc::Value check;
        const int checked = rpc.Call(
            "appUpdateCheck",
            [this](XMLRPC_VALUE p) {
                XMLRPC_VectorAppendInt(p, nullptr, 374);
                for (const QString& s : {config_.product, config_.build, config_.version, config_.language})
                    XMLRPC_VectorAppendString(p, nullptr, s.toUtf8().constData(), 0);
            },
            &check);
        QString id;
        if (checked == UpdateRpc::kOk) {
            id = textOf(check.get());
        } else if (checked != kNoUpdateFault) {
            EngineTrace(platform::formatText(QStringLiteral("appUpdateCheck failed: %d"), checked));
            SetStatus(16);
            Report(ShowOk);
            return;
        }
        if (Stopped())
            return;
        SetStatus(9, 10);
        if (!id.isEmpty()) {
            xmlrpc::Value text;
            auto withId = [&id](XMLRPC_VALUE p) { XMLRPC_VectorAppendString(p, nullptr, id.toUtf8().constData(), 0); };
            if (rpc.Call("appUpdateDownload", withId, &text) != UpdateRpc::kOk ||
                XMLRPC_GetValueTypeEasy(text.get()) != xmlrpc_type_string) {
                SetStatus(10);
                Report(ShowOk);
                return;
            }
            if (Stopped())
                return;
            const QString script = textOf(text.get());
            SetStatus(9, 30);
            const quint32 sum = ResUpdateChecksum(script);
            xmlrpc::Value expected;
            if (rpc.Call("appUpdateChecksum", withId, &expected) != UpdateRpc::kOk ||
                XMLRPC_GetValueTypeEasy(expected.get()) != xmlrpc_type_int) {
                SetStatus(10);
                Report(ShowOk);
                return;
            }
            if (Stopped())
                return;
            SetStatus(11, 7);
            if (quint32(XMLRPC_GetValueInt(expected.get())) != sum) {
                SetStatus(12);
                Report(ShowOk);
                return;
            }
            downloaded_ = script;
            SetStatus(11, 7);
            if (config_.save)
                config_.save(downloaded_);
            SetStatus(11, 6);
            found_ = true;
        }
        if (Stopped())
            return;
        if (found_) {
            Report(Done);
        } else {
            SetStatusText(QStringLiteral("No updates found."), 100);
            Report(ShowOk);
        }
    };
    run();
    ManualEvent::WaitEither(done_, stop_);
}

}  // namespace launcher
