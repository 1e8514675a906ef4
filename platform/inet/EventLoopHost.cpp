// The asynchronous host: curl's sockets and timer watched by the thread's Qt event loop,
// so transfers advance while the program pumps events (a pumping wait included) and the
// status callback runs on the thread that owns the session.
#include "platform/inet/InetObjects.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <map>

namespace ovexinet {
namespace {

class EventLoopHost final : public MultiHost {
public:
    EventLoopHost() : MultiHost(true)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
        curl().multi_setopt(multi(), CURLMOPT_SOCKETFUNCTION, &EventLoopHost::onSocket);
        curl().multi_setopt(multi(), CURLMOPT_SOCKETDATA, this);
        curl().multi_setopt(multi(), CURLMOPT_TIMERFUNCTION, &EventLoopHost::onTimer);
        curl().multi_setopt(multi(), CURLMOPT_TIMERDATA, this);
    }

private:
    // Notifiers are kept per descriptor number and only switched off when curl lets a
    // socket go: one may be the very notifier whose signal is running, so deleting it
    // here would pull it from under Qt.
    struct Watch {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };

    static int onSocket(CURL*, curl_socket_t socket, int what, void* self, void*)
    {
        static_cast<EventLoopHost*>(self)->watch(socket, what);
        return 0;
    }

    // curl forbids driving the multi handle from here; the timer fires from the loop.
    static int onTimer(CURLM*, long timeoutMs, void* self)
    {
        auto* host = static_cast<EventLoopHost*>(self);
        if (timeoutMs < 0)
            host->timer_.stop();
        else
            host->timer_.start(int(std::min<long>(timeoutMs, 1L << 30)));
        return 0;
    }

    void watch(curl_socket_t socket, int what)
    {
        Watch& w = watches_[socket];
        if (!w.read) {
            w.read = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
            w.write = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
            QObject::connect(w.read.get(), &QSocketNotifier::activated,
                             [this, socket] { act(socket, CURL_CSELECT_IN); });
            QObject::connect(w.write.get(), &QSocketNotifier::activated,
                             [this, socket] { act(socket, CURL_CSELECT_OUT); });
        }
        w.read->setEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
        w.write->setEnabled(what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
    }

    void act(curl_socket_t socket, int mask)
    {
        int running = 0;
        curl().multi_socket_action(multi(), socket, mask, &running);
        afterActivity();
    }

    QTimer timer_;
    std::map<curl_socket_t, Watch> watches_;
};

}  // namespace

// One per thread and kept for the thread's life: sessions come and go while transfers of
// other sessions still run on it.
MultiHost* eventLoopHost()
{
    thread_local EventLoopHost* host = nullptr;
    if (host == nullptr) {
        if (QAbstractEventDispatcher::instance(QThread::currentThread()) == nullptr)
            return nullptr;
        host = new EventLoopHost;
    }
    return host;
}

}  // namespace ovexinet
