#include "platform/desktop/LinuxDesktop.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QLibrary>
#include <QProcess>
#include <QStandardPaths>

#include <limits>

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace platform {
namespace {

// A bus that does not answer within this must not hold the caller.
constexpr int kBusTimeoutMs = 1000;

bool isWaylandSession()
{
    const QString platformName =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::platformName() : QString();
    if (platformName == QLatin1String("xcb"))
        return false;
    if (platformName.startsWith(QLatin1String("wayland")))
        return true;
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The screen-saver extension's client library, loaded at the first reading: a program that
// never asks for the idle time (the launcher at every login) does not load it at start.
struct ScreenSaverLibrary {
    decltype(&XScreenSaverQueryExtension) queryExtension = nullptr;
    decltype(&XScreenSaverAllocInfo) allocInfo = nullptr;
    decltype(&XScreenSaverQueryInfo) queryInfo = nullptr;
};

const ScreenSaverLibrary* screenSaverLibrary()
{
    static const ScreenSaverLibrary loaded = [] {
        ScreenSaverLibrary lib;
        QLibrary library(QStringLiteral("Xss"), 1);
        if (!library.load())
            return lib;
        lib.queryExtension =
            reinterpret_cast<decltype(lib.queryExtension)>(library.resolve("XScreenSaverQueryExtension"));
        lib.allocInfo = reinterpret_cast<decltype(lib.allocInfo)>(library.resolve("XScreenSaverAllocInfo"));
        lib.queryInfo = reinterpret_cast<decltype(lib.queryInfo)>(library.resolve("XScreenSaverQueryInfo"));
        return lib;
    }();
    return loaded.queryExtension && loaded.allocInfo && loaded.queryInfo ? &loaded : nullptr;
}

}  // namespace

// Connecting without a bus would have libdbus autolaunch a daemon of its own, on which
// neither the idle monitor nor a notification server listens.
bool sessionBusKnown()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

// A connection of its own for each reading: nothing is held between the 8-second steps,
// and it works whatever platform plugin Qt runs on.
qint64 x11IdleMilliseconds(const QByteArray& displayName)
{
    if (displayName.isEmpty())
        return -1;
    const ScreenSaverLibrary* screenSaver = screenSaverLibrary();
    if (screenSaver == nullptr)
        return -1;
    Display* display = XOpenDisplay(displayName.constData());
    if (display == nullptr)
        return -1;
    qint64 idle = -1;
    int eventBase = 0, errorBase = 0;
    if (screenSaver->queryExtension(display, &eventBase, &errorBase)) {
        if (XScreenSaverInfo* info = screenSaver->allocInfo()) {
            if (screenSaver->queryInfo(display, DefaultRootWindow(display), info))
                idle = qint64(info->idle);
            XFree(info);
        }
    }
    XCloseDisplay(display);
    return idle;
}

qint64 mutterIdleMilliseconds()
{
    if (!sessionBusKnown())
        return -1;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return -1;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
        QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return -1;
    bool ok = false;
    const qulonglong idle = reply.arguments().constFirst().toULongLong(&ok);
    return ok && idle <= qulonglong(std::numeric_limits<qint64>::max()) ? qint64(idle) : -1;
}

qint64 LinuxDesktop::idleMilliseconds()
{
    if (!isWaylandSession()) {
        const qint64 idle = x11IdleMilliseconds(qgetenv("DISPLAY"));
        if (idle >= 0)
            return idle;
    }
    return mutterIdleMilliseconds();
}

void LinuxDesktop::playSound(unsigned style)
{
    const QString player = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (!player.isEmpty() && QProcess::startDetached(player, {QStringLiteral("--id=") + soundName(style)}))
        return;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

}  // namespace platform
