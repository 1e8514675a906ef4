// A NetworkManager for tests, on the bus whose address is the first argument: the name
// org.freedesktop.NetworkManager and, at /org/freedesktop/NetworkManager, the "State"
// property (an NMState number, the second argument) through org.freedesktop.DBus.Properties
// and the StateChanged signal. Lines on standard input:
//   state <n>   the new state; StateChanged goes out
//   silent      from now on, no question is answered
// Each is acknowledged with "ok" once it holds. Prints "ready" once it owns the name; ends
// when its input closes.
#include "tests/peers/PeerLines.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kInterface = QStringLiteral("org.freedesktop.NetworkManager");

// Answered by hand rather than through exported properties, so that it can also not answer.
class NetworkManager : public QDBusVirtualObject {
public:
    NetworkManager(const QDBusConnection& bus, uint state) : bus_(bus), state_(state) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (silent_)
            return true;
        const QList<QVariant> args = message.arguments();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") &&
            message.member() == QLatin1String("Get") && args.size() == 2 && args[0].toString() == kInterface &&
            args[1].toString() == QLatin1String("State")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(state_)))));
            return true;
        }
        if (message.interface() == kInterface && message.member() == QLatin1String("state")) {
            connection.send(message.createReply(QVariant::fromValue(state_)));
            return true;
        }
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        return true;
    }

    void setState(uint state)
    {
        state_ = state;
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("StateChanged"));
        signal << state;
        bus_.send(signal);
    }
    void silence() { silent_ = true; }

private:
    QDBusConnection bus_;
    uint state_;
    bool silent_ = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), QStringLiteral("nm"));
    NetworkManager manager(bus, QString::fromLatin1(argv[2]).toUInt());
    if (!bus.isConnected() || !bus.registerVirtualObject(kPath, &manager) || !bus.registerService(kInterface))
        return 1;

    const peerlines::Commands commands([&](const QList<QByteArray>& words) {
        if (words.size() == 2 && words[0] == "state")
            manager.setState(words[1].toUInt());
        else if (words.size() == 1 && words[0] == "silent")
            manager.silence();
        peerlines::say("ok");
    });
    peerlines::say("ready");
    return app.exec();
}
