// A stand-in for the desktop's idle monitor on a session bus: answers GetIdletime with
// the milliseconds given on the command line, and prints "ready" once it owns its name.
#include "tests/peers/PeerLines.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>

class IdleMonitor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")
public:
    explicit IdleMonitor(quint64 idle) : idle_(idle) {}

public slots:
    quint64 GetIdletime() { return idle_; }

private:
    quint64 idle_;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    IdleMonitor monitor(QByteArray(argv[1]).toULongLong());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &monitor,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor")))
        return 1;
    peerlines::say("ready");
    return app.exec();
}

#include "IdleMonitorPeer.moc"
