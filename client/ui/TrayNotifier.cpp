#include "client/ui/TrayNotifier.h"

#include "client/Globals.h"
#include "client/Trace.h"
#include "platform/desktop/Notifications.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

namespace client {

namespace {

QIcon IconResource(int id)
{
    return QIcon(QStringLiteral(":/client/ICON/%1").arg(id));
}

}  // namespace

DesktopTrayNotifier::DesktopTrayNotifier(platform::Notifications* notifications, QObject* parent)
    : TrayNotifier(parent), notifications_(notifications)
{
    if (notifications_ == nullptr) {
        ownNotifications_ = platform::desktopNotifications();
        notifications_ = ownNotifications_.get();
    }
    notifications_->setActivated([this] {
        qCInfo(lcClient) << "Desktop notification clicked";
        emit activated();
    });
}

DesktopTrayNotifier::~DesktopTrayNotifier()
{
    // A notification left behind would open nothing once the program has gone.
    notifications_->close(true);
    notifications_->setActivated({});
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
            } else if (reason == QSystemTrayIcon::DoubleClick &&
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
    if (icon_ && icon_->isVisible() && QSystemTrayIcon::supportsMessages()) {
        icon_->showMessage(title, text, IconResource(iconId_), timeoutMs);
        qCInfo(lcClient) << "Balloon shown in the tray:" << title;
        return;
    }
    QString failure;
    const bool sent = notifications_->show(
        client::kProductName, title, text, QStringLiteral("mail-unread"), timeoutMs,
        [title](const QString& error) {
            if (!error.isEmpty())
                qCWarning(lcClient) << "Unable to show the balloon as a desktop notification:" << error;
            else
                qCInfo(lcClient) << "Balloon shown as a desktop notification:" << title;
        },
        &failure);
    if (!sent)
        qCInfo(lcClient).noquote() << "No tray and no notifications:" << failure;
}

void DesktopTrayNotifier::RemoveIcon()
{
    if (icon_) {
        icon_->hide();
        icon_.reset();
    }
    notifications_->close(false);
}

}  // namespace client
