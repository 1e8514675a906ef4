// A desktop notification server for tests, on the session bus its environment names:
// org.freedesktop.Notifications with Notify and CloseNotification. Every call is
// appended to the record file given as the first argument, one line each:
//   notify <id>\t<app>\t<summary>\t<body>\t<actions, comma-separated>\t<timeout>
//   close <id>
// A line "invoke <id> <action>" on standard input clicks that notification (ActionInvoked,
// then NotificationClosed with reason 2). Started with --answer-late as its second argument,
// it answers Notify only at a line "answer", so a click can come before the answer. Prints
// "ready" once it owns the name; ends when its input closes.
#include "tests/peers/PeerLines.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <utility>

class Notifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    Notifications(const QString& recordPath, bool answerLate) : record_(recordPath), answerLate_(answerLate) {}

    void answer()
    {
        for (const QDBusMessage& reply : std::exchange(held_, {}))
            QDBusConnection::sessionBus().send(reply);
    }

    void invoke(uint id, const QString& action)
    {
        emit ActionInvoked(id, action);
        emit NotificationClosed(id, 2);
    }

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout)
    {
        Q_UNUSED(appIcon);
        Q_UNUSED(hints);
        const uint id = replacesId != 0 ? replacesId : ++lastId_;
        write(QStringLiteral("notify %1\t%2\t%3\t%4\t%5\t%6")
                  .arg(id)
                  .arg(appName, summary, body, actions.join(u','))
                  .arg(expireTimeout));
        if (answerLate_) {
            setDelayedReply(true);
            held_.append(message().createReply(id));
        }
        return id;
    }
    void CloseNotification(uint id) { write(QStringLiteral("close %1").arg(id)); }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    void write(const QString& line)
    {
        QFile file(record_);
        if (file.open(QIODevice::Append))
            file.write(line.toUtf8() + '\n');
    }

    QString record_;
    bool answerLate_;
    QList<QDBusMessage> held_;
    uint lastId_ = 0;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Notifications server(QString::fromLocal8Bit(argv[1]), argc > 2 && qstrcmp(argv[2], "--answer-late") == 0);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications")))
        return 1;

    const peerlines::Commands commands([&](const QList<QByteArray>& words) {
        if (words.size() == 3 && words[0] == "invoke")
            server.invoke(words[1].toUInt(), QString::fromUtf8(words[2]));
        else if (words.size() == 1 && words[0] == "answer")
            server.answer();
    });
    peerlines::say("ready");
    return app.exec();
}

#include "NotificationPeer.moc"
