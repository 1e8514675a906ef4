#include "platform/ui/Ui.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <map>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace platform {
namespace {

// ---- Message boxes ------------------------------------------------------------

// The buttons of each message-box type, in the order the default-button bits count them.
std::vector<int> buttonsOf(unsigned style)
{
    switch (style & mb::TypeMask) {
    case mb::OkCancel: return {id::Ok, id::Cancel};
    case mb::AbortRetryIgnore: return {id::Abort, id::Retry, id::Ignore};
    case mb::YesNoCancel: return {id::Yes, id::No, id::Cancel};
    case mb::YesNo: return {id::Yes, id::No};
    case mb::RetryCancel: return {id::Retry, id::Cancel};
    default: return {id::Ok};
    }
}

QMessageBox::StandardButton standardButton(int button)
{
    switch (button) {
    case id::Cancel: return QMessageBox::Cancel;
    case id::Abort: return QMessageBox::Abort;
    case id::Retry: return QMessageBox::Retry;
    case id::Ignore: return QMessageBox::Ignore;
    case id::Yes: return QMessageBox::Yes;
    case id::No: return QMessageBox::No;
    default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconOf(unsigned style)
{
    switch (style & mb::IconMask) {
    case mb::IconHand: return QMessageBox::Critical;
    case mb::IconQuestion: return QMessageBox::Question;
    case mb::IconExclamation: return QMessageBox::Warning;
    case mb::IconAsterisk: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Widgets exist only in a QApplication, and only on its thread.
bool canShowWidgets()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app != nullptr && !isHeadless() && QThread::currentThread() == app->thread();
}

void writeToJournal(const QString& text, const QString& caption)
{
    const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

class DefaultMessageSink final : public MessageSink {
public:
    int messageBox(const QString& text, const QString& caption, unsigned style) override
    {
        if (!canShowWidgets()) {
            writeToJournal(text, caption);
            return defaultButton(style);
        }
        QMessageBox box(iconOf(style), caption, text);
        // Texts come from resources and servers; markup in them is shown, never rendered.
        box.setTextFormat(Qt::PlainText);
        const std::vector<int> ids = buttonsOf(style);
        std::map<QAbstractButton*, int> idOf;
        for (int button : ids)
            idOf[box.addButton(standardButton(button))] = button;
        const int chosen = defaultButton(style);
        for (const auto& [button, value] : idOf) {
            if (value == chosen)
                box.setDefaultButton(qobject_cast<QPushButton*>(button));
        }
        // Escape is Qt's choice: Cancel, else the only button, else No or Abort.
        box.exec();
        const auto it = idOf.find(box.clickedButton());
        return it != idOf.end() ? it->second : chosen;
    }

    void beep(unsigned) override
    {
        if (canShowWidgets())
            QApplication::beep();
    }
};

MessageSink* g_sink = nullptr;

// ---- Quit, pumping waits and idle hooks --------------------------------------------

const QEvent::Type kQuitEvent = QEvent::Type(QEvent::registerEventType());

class QuitEvent final : public QEvent {
public:
    explicit QuitEvent(int code) : QEvent(kQuitEvent), code(code) {}
    const int code;
};

// Quit events posted and not yet handled, and the one a pumping wait holds back.
std::atomic<int> g_quitsInFlight{0};
bool g_quitHeld = false;
int g_heldCode = 0;
std::atomic<int> g_lastQuitCode{0};

// Pumping waits active on the main thread; only there can a quit be met.
int g_pumpDepth = 0;

std::map<int, std::function<void()>> g_idleHooks;
int g_nextHookId = 1;
bool g_inIdleHooks = false;

// Termination signals reach the loop through this pipe; the flag stays set for the run.
int g_signalPipe[2] = {-1, -1};
std::atomic<bool> g_terminationSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set in a signal handler");

// Receives quit events and runs idle hooks, on the main thread.
class Receiver final : public QObject {
public:
    void customEvent(QEvent* event) override
    {
        if (event->type() != kQuitEvent)
            return;
        const int code = static_cast<QuitEvent*>(event)->code;
        if (g_pumpDepth > 0) {
            // Exiting now would stop every loop on this thread, the waiter's included;
            // the wait posts it again when it ends.
            g_quitHeld = true;
            g_heldCode = code;
            --g_quitsInFlight;
            return;
        }
        g_lastQuitCode = code;
        --g_quitsInFlight;
        QCoreApplication::exit(code);
    }

    // Hooks run once each time the dispatcher is about to wait for events. A hook may
    // remove itself or others, or run a nested loop, so each is looked up afresh.
    void runIdleHooks()
    {
        if (g_inIdleHooks || g_pumpDepth > 0 || g_idleHooks.empty())
            return;
        g_inIdleHooks = true;
        std::vector<int> ids;
        for (const auto& entry : g_idleHooks)
            ids.push_back(entry.first);
        for (int hookId : ids) {
            const auto it = g_idleHooks.find(hookId);
            if (it == g_idleHooks.end())
                continue;
            const std::function<void()> hook = it->second;
            hook();
        }
        g_inIdleHooks = false;
    }

    void watchDispatcher()
    {
        QAbstractEventDispatcher* dispatcher =
            QCoreApplication::instance() ? QAbstractEventDispatcher::instance(thread()) : nullptr;
        if (dispatcher == nullptr || dispatcher == watched_)
            return;
        watched_ = dispatcher;
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &Receiver::runIdleHooks,
                Qt::DirectConnection);
    }

private:
    QAbstractEventDispatcher* watched_ = nullptr;
};

// Made once and kept for the life of the process; it must outlive every posted quit.
Receiver* receiver()
{
    static Receiver* r = [] {
        auto* made = new Receiver;
        if (QCoreApplication* app = QCoreApplication::instance(); app && made->thread() != app->thread())
            made->moveToThread(app->thread());
        return made;
    }();
    return r;
}

bool onMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void onTerminationSignal(int)
{
    const int saved = errno;
    g_terminationSignalled = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

MessageSink& messageSink()
{
    static DefaultMessageSink fallback;
    return g_sink ? *g_sink : fallback;
}

void setMessageSink(MessageSink* sink)
{
    g_sink = sink;
}

int messageBox(const QString& text, const QString& caption, unsigned style)
{
    return messageSink().messageBox(text, caption, style);
}

void beep(unsigned style)
{
    messageSink().beep(style);
}

int alertUser(const QString& text, const QString& caption, unsigned style)
{
    // The default sink writes to stderr by itself where it shows no box.
    if (g_sink != nullptr || canShowWidgets() || terminationRequested())
        writeToJournal(text, caption);
    if (terminationRequested())
        return defaultButton(style);
    return messageSink().messageBox(text, caption, style);
}

int defaultButton(unsigned style)
{
    const std::vector<int> ids = buttonsOf(style);
    size_t index = 0;
    switch (style & mb::DefMask) {
    case mb::DefButton2: index = 1; break;
    case mb::DefButton3: index = 2; break;
    default: break;
    }
    // A default beyond the buttons there are falls back to the first, as callers expect.
    return index < ids.size() ? ids[index] : ids.front();
}

void postQuit(int exitCode)
{
    ++g_quitsInFlight;
    QCoreApplication::postEvent(receiver(), new QuitEvent(exitCode));
}

bool quitPending()
{
    return g_quitsInFlight > 0 || g_quitHeld;
}

int lastQuitCode()
{
    return g_lastQuitCode;
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs, const std::function<bool()>& cancelled)
{
    const QDeadlineTimer deadline = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    // What `done` waits for may change without an event (another thread, a file), so
    // the loop wakes at least this often to look again.
    constexpr int kSliceMs = 50;

    if (QCoreApplication::instance() == nullptr) {
        // No event loop to run: poll.
        for (;;) {
            if (done())
                return true;
            if ((cancelled && cancelled()) || deadline.hasExpired())
                return false;
            QThread::msleep(10);
        }
    }

    const bool main = onMainThread();
    if (main) {
        receiver();
        ++g_pumpDepth;
    }
    QTimer wake;
    wake.setSingleShot(true);
    bool result = false;
    for (;;) {
        if (done()) {
            result = true;
            break;
        }
        if ((cancelled && cancelled()) || deadline.hasExpired())
            break;
        const qint64 left = deadline.remainingTime();
        wake.start(int(left < 0 || left > kSliceMs ? kSliceMs : qMax<qint64>(left, 1)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    if (main) {
        --g_pumpDepth;
        // Each wait passes the held quit on; an outer wait holds it again until it too
        // ends, so only the outermost loop exits.
        if (g_quitHeld) {
            g_quitHeld = false;
            postQuit(g_heldCode);
        }
    }
    return result;
}

int addIdleHook(const std::function<void()>& hook)
{
    Receiver* r = receiver();
    r->watchDispatcher();
    const int hookId = g_nextHookId++;
    g_idleHooks.emplace(hookId, hook);
    return hookId;
}

void removeIdleHook(int hookId)
{
    g_idleHooks.erase(hookId);
}

// Self-pipe: the handler only writes a byte; the loop reads it and posts the quit.
// Without an application there is no loop to read the pipe, and the default handlers,
// which end the process, are better than a signal that is swallowed.
void quitOnTerminationSignals()
{
    static bool installed = false;
    if (installed || !onMainThread())
        return;
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, receiver());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buffer[64];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {}
        postQuit(0);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    installed = true;
}

bool terminationRequested()
{
    return g_terminationSignalled;
}

// The pipe stays readable until the loop drains it, so a signal that came just before the
// poll still ends the sleep; a signal during it interrupts the poll.
bool sleepUnlessTerminated(int ms)
{
    const QDeadlineTimer deadline(ms);
    for (;;) {
        if (terminationRequested())
            return false;
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return true;
        if (g_signalPipe[0] < 0) {  // no signal can end it
            QThread::msleep(quint64(left));
            return true;
        }
        pollfd fd{g_signalPipe[0], POLLIN, 0};
        if (::poll(&fd, 1, int(left)) > 0)
            return false;
    }
}

namespace {
bool g_fallbackPrepared = false;
}  // namespace

// A Wayland session is left to Qt's own choice; an X11 one tries the display first.
void prepareDisplayFallback()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    qputenv("QT_QPA_PLATFORM", x11 ? "xcb;offscreen" : "offscreen");
    // The display that is gone is the program's to say, in its own words.
    if (x11)
        QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.xcb=false\nqt.qpa.plugin=false"));
    g_fallbackPrepared = true;
}

bool displayFallbackTaken()
{
    if (!g_fallbackPrepared)
        return false;
    g_fallbackPrepared = false;
    qunsetenv("QT_QPA_PLATFORM");
    QLoggingCategory::setFilterRules(QString());
    return QGuiApplication::platformName() == u"offscreen";
}

bool isHeadless()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return true;
    const QString platform = QGuiApplication::platformName();
    return platform == u"offscreen" || platform == u"minimal";
}

void releaseFontConfiguration()
{
    // Only where Qt has loaded fontconfig; a program without it has nothing to free.
    void* library = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (library == nullptr)
        return;
    using Create = void* (*)();
    using SetCurrent = int (*)(void*);
    const auto create = reinterpret_cast<Create>(::dlsym(library, "FcConfigCreate"));
    const auto setCurrent = reinterpret_cast<SetCurrent>(::dlsym(library, "FcConfigSetCurrent"));
    if (create != nullptr && setCurrent != nullptr)
        if (void* empty = create())
            setCurrent(empty);  // the current configuration, if one was loaded, is freed here
    ::dlclose(library);
}

}  // namespace platform
