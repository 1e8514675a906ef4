#include "client/ui/TrayNotifier.h"

#include "client/Globals.h"
#include "client/Trace.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

// A bus that does not answer within this must not hold the program.
constexpr int kBusTimeoutMs = 2000;

QIcon IconResource(int id) { return QIcon(QStringLiteral(":/client/ICON/%1").arg(id)); }

// Only a bus the session already has: connecting without one would have libdbus
// autolaunch a daemon of its own, which no notification server listens on.
bool SessionBusKnown()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

}  // namespace

DesktopTrayNotifier::DesktopTrayNotifier(QObject* parent) : TrayNotifier(parent) {}

DesktopTrayNotifier::~DesktopTrayNotifier()
{
    // A notification left behind would open nothing once the program has gone.
    CloseNotification(true);
}

void DesktopTrayNotifier::AddIcon(int iconId, const QString& tip)
{
    iconId_ = iconId;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        qCInfo(lcClient) << "The desktop has no tray; tip not shown:" << tip;
        return;
    }
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>();
        // Trays that speak StatusNotifierItem report their primary activation as Trigger
        // and never a double click; XEmbed trays report a double click as Trigger and
        // DoubleClick, which must open the message only once.
        connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) {
                lastTrigger_.start();
                emit activated();
            }
            else if (reason == QSystemTrayIcon::DoubleClick &&
                     (!lastTrigger_.isValid() || lastTrigger_.elapsed() > QApplication::doubleClickInterval()))
                emit activated();
        });
        connect(icon_.get(), &QSystemTrayIcon::messageClicked, this, &TrayNotifier::activated);
    }
    icon_->setIcon(IconResource(iconId));
    icon_->setToolTip(tip);
    icon_->show();
}

void DesktopTrayNotifier::ModifyIcon(int iconId, const QString& tip)
{
    iconId_ = iconId;
    if (!icon_) {
        qCInfo(lcClient) << "The desktop has no tray; tip not shown:" << tip;
        return;
    }
    icon_->setIcon(IconResource(iconId));
    icon_->setToolTip(tip);
}

void DesktopTrayNotifier::ShowBalloon(const QString& title, const QString& text, int timeoutMs)
{
    closeWhenShown_ = false;
    if (icon_ && icon_->isVisible() && QSystemTrayIcon::supportsMessages()) {
        icon_->showMessage(title, text, IconResource(iconId_), timeoutMs);
        qCInfo(lcClient) << "Balloon shown in the tray:" << title;
        return;
    }
    if (!ConnectBus()) {
        qCInfo(lcClient) << "No tray and no session bus; balloon not shown:" << title;
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // The default action is the click on the notification itself; servers show no button
    // for it, so its label stays empty.
    call << client::kProductName << notificationId_ << QStringLiteral("mail-unread") << title << text
         << QStringList{kDefaultAction, QString()} << QVariantMap() << timeoutMs;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, kBusTimeoutMs), this);
    ++notifyPending_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, title](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        --notifyPending_;
        if (reply.isError())
            qCWarning(lcClient) << "Unable to show the balloon as a desktop notification:" << reply.error().message();
        else {
            notificationId_ = reply.value();
            qCInfo(lcClient) << "Balloon shown as desktop notification" << notificationId_ << ':' << title;
        }
        // The icon went while the server was still answering.
        if (closeWhenShown_ && notifyPending_ == 0) {
            closeWhenShown_ = false;
            CloseNotification(false);
        }
        w->deleteLater();
    });
}

void DesktopTrayNotifier::RemoveIcon()
{
    if (icon_) {
        icon_->hide();
        icon_.reset();
    }
    closeWhenShown_ = notifyPending_ > 0;
    CloseNotification(false);
}

bool DesktopTrayNotifier::ConnectBus()
{
    if (busConnected_)
        return true;
    if (!SessionBusKnown())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(OnActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(OnNotificationClosed(uint, uint)));
    busConnected_ = true;
    return true;
}

void DesktopTrayNotifier::CloseNotification(bool wait)
{
    if (notificationId_ == 0 || !busConnected_)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    call << notificationId_;
    notificationId_ = 0;
    if (wait)
        QDBusConnection::sessionBus().call(call, QDBus::Block, kBusTimeoutMs);
    else
        QDBusConnection::sessionBus().asyncCall(call, kBusTimeoutMs);
}

void DesktopTrayNotifier::OnActionInvoked(uint id, const QString& action)
{
    if (id != 0 && id == notificationId_ && action == kDefaultAction) {
        qCInfo(lcClient) << "Desktop notification" << id << "clicked";
        emit activated();
    }
}

void DesktopTrayNotifier::OnNotificationClosed(uint id, uint)
{
    if (id == notificationId_)
        notificationId_ = 0;
}
