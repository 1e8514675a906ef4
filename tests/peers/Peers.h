#pragma once

// Starting the Python peers of tests/peers from a test: each runs as a child process on a
// port of its own, records what it received, and ends with the test.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace testpeers {

// A throwaway authority and certificates, made by make_certs.py in a new folder under `dir`.
struct Certificates {
    QString caFile;                         // the authority to trust
    QString serverCert, serverKey;          // for localhost and 127.0.0.1
    QString wrongHostCert, wrongHostKey;    // signed, but for another name
    QString selfSignedCert, selfSignedKey;  // the right names, no authority
};
// Fails the running test (and returns empty paths) when openssl cannot make them.
Certificates makeCertificates(const QString& dir);

// One peer process; killed when the object goes.
class Peer {
public:
    Peer(const QString& script, const QStringList& args);
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool started() const { return port_ != 0; }
    quint16 port() const { return port_; }
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

private:
    QProcess process_;
    quint16 port_ = 0;
};

// tests/peers/message_service.py.
class MessageService {
public:
    // The config that answers the two calls with these results.
    static QJsonObject answers(const QJsonArray& channels, const QJsonArray& offers);

    struct Options {
        QJsonObject config;  // answers per method, see the script
        bool tls = false;
        QString cert, key;  // with tls; the server certificate by default
    };
    // `dir` holds the config and the record; `certs` is needed for TLS.
    MessageService(const QString& dir, const Options& options, const Certificates* certs = nullptr);

    bool started() const { return peer_ && peer_->started(); }
    quint16 port() const { return peer_->port(); }
    QString hostPort() const { return peer_->hostPort(); }
    // The calls received so far, oldest first.
    QJsonArray received() const;

private:
    QString record_;
    std::unique_ptr<Peer> peer_;
};

// tests/peers/registration_server.py: redirect documents and the registration methods.
class RegistrationServer {
public:
    // `config` as the script describes it; with `certs` the server speaks HTTPS.
    RegistrationServer(const QString& dir, const QJsonObject& config, const Certificates* certs = nullptr);

    bool started() const { return peer_ && peer_->started(); }
    quint16 port() const { return peer_->port(); }
    QString hostPort() const { return peer_->hostPort(); }
    // The requests received so far, oldest first.
    QJsonArray received() const;

private:
    QString record_;
    std::unique_ptr<Peer> peer_;
};

// tests/peers/raw_server.py.
class RawServer {
public:
    enum class Mode { Reply, Hang, Silent };
    RawServer(const QString& dir, const QByteArray& response, Mode mode = Mode::Reply, const QString& cert = {},
              const QString& key = {});

    bool started() const { return peer_ && peer_->started(); }
    quint16 port() const { return peer_->port(); }
    // The raw requests received so far.
    QByteArray received() const;

private:
    QString record_;
    std::unique_ptr<Peer> peer_;
};

// The desktop notification server of tests/peers/NotificationPeer.cpp, the built
// `program`, on the session bus at `busAddress`.
class NotificationServer {
public:
    // `answerLate`: Notify is answered only at answer(), so a click can come before it.
    NotificationServer(const QString& program, const QString& busAddress, bool answerLate = false);
    ~NotificationServer();
    NotificationServer(const NotificationServer&) = delete;
    NotificationServer& operator=(const NotificationServer&) = delete;

    bool started() const { return started_; }
    // The first recorded line that starts with `prefix`; empty when none came in time.
    QString waitForLine(const QString& prefix, int ms = 30000) const;
    QStringList lines() const;
    // Clicks the notification `id`.
    void click(const QString& id);
    // Sends the answers held back.
    void answer();

private:
    QString record_;
    QProcess peer_;
    bool started_ = false;
};

// A dbus-daemon of the test's own, at a fresh address in the sandbox: a stand-in for the
// session bus or the system bus.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool up() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // Ends the daemon, as a bus that goes away.
    void stop();

private:
    QProcess daemon_;
    QString address_;
};

// NetworkManager's NMState numbers.
enum NmState : uint {
    kNmUnknown = 0,
    kNmAsleep = 10,
    kNmDisconnected = 20,
    kNmDisconnecting = 30,
    kNmConnecting = 40,
    kNmConnectedLocal = 50,
    kNmConnectedSite = 60,
    kNmConnectedGlobal = 70,
};

// The NetworkManager of tests/peers/NetworkManagerPeer.cpp, the built `program`, on a
// private bus of its own; point DBUS_SYSTEM_BUS_ADDRESS at busAddress().
class NetworkManager {
public:
    NetworkManager(const QString& program, uint state);
    ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    bool started() const { return started_; }
    QString busAddress() const { return bus_.address(); }
    // Each returns once the peer holds it.
    bool setState(uint state);
    bool silence();  // answers nothing from now on
    void stopBus() { bus_.stop(); }

private:
    bool command(const QByteArray& line);

    PrivateBus bus_;
    QProcess peer_;
    bool started_ = false;
};

QString peerScript(const QString& name);

}  // namespace testpeers
