#include "platform/inet/DesktopNetwork.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QString>

#include <mutex>

namespace ovexinet {
namespace {

// The query runs on the caller's thread, often the interface's: a bus that does not
// answer must not hold it for D-Bus's default 25 seconds.
constexpr int kBusTimeoutMs = 500;

// NetworkManager's NMState values that mean no usable connection (NM_STATE_ASLEEP to
// NM_STATE_CONNECTING); from NM_STATE_CONNECTED_LOCAL on, a service may be reachable.
constexpr uint kNmStateUnknown = 0;
constexpr uint kNmStateConnectedLocal = 50;

const QString kConnectionName = QStringLiteral("ovex-inet-system-bus");

std::mutex g_busMutex;
QString g_busAddress;  // of the connection named kConnectionName; empty before the first

// A connection of our own, not QDBusConnection::systemBus(): that one is made once per
// process, so a bus that started late, or restarted, would never be seen.
QDBusConnection systemBus()
{
    QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty())
        address = QStringLiteral("unix:path=/run/dbus/system_bus_socket");
    std::lock_guard lock(g_busMutex);
    if (!g_busAddress.isEmpty()) {
        QDBusConnection kept(kConnectionName);
        if (g_busAddress == address && kept.isConnected())
            return kept;
        QDBusConnection::disconnectFromBus(kConnectionName);
    }
    g_busAddress = address;
    return QDBusConnection::connectToBus(address, kConnectionName);
}

}  // namespace

DesktopNetwork desktopNetwork()
{
    // QtDBus needs the application object; a process without one has no desktop to ask.
    if (QCoreApplication::instance() == nullptr)
        return DesktopNetwork::Unknown;
    const QDBusConnection bus = systemBus();
    if (!bus.isConnected())
        return DesktopNetwork::Unknown;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.NetworkManager"), QStringLiteral("/org/freedesktop/NetworkManager"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.NetworkManager") << QStringLiteral("State");
    // A NetworkManager that is not running is not to be started for this question.
    get.setAutoStartService(false);
    const QDBusMessage reply = bus.call(get, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return DesktopNetwork::Unknown;
    const QVariant state = reply.arguments().first().value<QDBusVariant>().variant();
    if (state.metaType().id() != QMetaType::UInt)
        return DesktopNetwork::Unknown;
    const uint value = state.toUInt();
    if (value == kNmStateUnknown)
        return DesktopNetwork::Unknown;
    return value < kNmStateConnectedLocal ? DesktopNetwork::Down : DesktopNetwork::Up;
}

}  // namespace ovexinet
