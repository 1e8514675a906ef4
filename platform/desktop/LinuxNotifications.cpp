#include "platform/desktop/LinuxNotifications.h"

#include "platform/desktop/LinuxDesktop.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

// A bus that does not answer within this must not hold the program.
constexpr int kBusTimeoutMs = 2000;

}  // namespace

std::unique_ptr<Notifications> desktopNotifications()
{
    return std::make_unique<LinuxNotifications>();
}

LinuxNotifications::LinuxNotifications(QObject* parent) : QObject(parent) {}

bool LinuxNotifications::show(const QString& appName, const QString& title, const QString& text, const QString& icon,
                              int timeoutMs, Shown shown, QString* error)
{
    closeWhenShown_ = false;
    QString reason;
    if (!ConnectBus(&reason)) {
        if (error != nullptr)
            *error = QStringLiteral("Unable to show the notification \"%1\": %2").arg(title, reason);
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // The default action is the click on the notification itself; servers show no button
    // for it, so its label stays empty.
    call << appName << notificationId_ << icon << title << text << QStringList{kDefaultAction, QString()}
         << QVariantMap() << timeoutMs;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, kBusTimeoutMs), this);
    ++showPending_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, shown](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        --showPending_;
        if (!reply.isError())
            notificationId_ = reply.value();
        const uint clicked = showPending_ == 0 ? std::exchange(clickedWhilePending_, 0u) : 0u;
        if (shown)
            shown(reply.isError() ? reply.error().message() : QString());
        // It was closed while the server was still answering.
        if (closeWhenShown_ && showPending_ == 0) {
            closeWhenShown_ = false;
            CloseShown(false);
        } else if (clicked != 0 && clicked == notificationId_ && activated_) {
            activated_();
        }
        w->deleteLater();
    });
    return true;
}

void LinuxNotifications::close(bool wait)
{
    closeWhenShown_ = showPending_ > 0;
    CloseShown(wait);
}

bool LinuxNotifications::ConnectBus(QString* reason)
{
    if (busConnected_)
        return true;
    if (!sessionBusKnown()) {
        *reason = QStringLiteral(
            "the session has no bus (DBUS_SESSION_BUS_ADDRESS is not set and the runtime folder "
            "holds none)");
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *reason = QStringLiteral("the session bus cannot be reached: %1").arg(bus.lastError().message());
        return false;
    }
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(OnActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(OnNotificationClosed(uint, uint)));
    busConnected_ = true;
    return true;
}

void LinuxNotifications::CloseShown(bool wait)
{
    if (notificationId_ == 0 || !busConnected_)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    call << notificationId_;
    notificationId_ = 0;
    if (wait)
        QDBusConnection::sessionBus().call(call, QDBus::Block, kBusTimeoutMs);
    else
        QDBusConnection::sessionBus().asyncCall(call, kBusTimeoutMs);
}

// Every client of the server hears every click; only a click on ours counts.
void LinuxNotifications::OnActionInvoked(uint id, const QString& action)
{
    // The server may announce a click before its answer to Notify has been read here; which
    // id is ours is known only then.
    if (id != 0 && id != notificationId_ && action == kDefaultAction && showPending_ > 0) {
        clickedWhilePending_ = id;
        return;
    }
    if (id != 0 && id == notificationId_ && action == kDefaultAction && activated_)
        activated_();
}

void LinuxNotifications::OnNotificationClosed(uint id, uint)
{
    if (id == notificationId_)
        notificationId_ = 0;
}

}  // namespace platform
