#include "tests/peers/Peers.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QThread>

namespace testpeers {
namespace {

int g_serial = 0;

QString uniquePath(const QString& dir, const QString& stem)
{
    return QStringLiteral("%1/%2-%3").arg(dir, stem).arg(++g_serial);
}

}  // namespace

QString peerScript(const QString& name)
{
    return testsupport::sourceDir() + "/tests/peers/" + name;
}

Certificates makeCertificates(const QString& where)
{
    // A fresh folder each time: curl keeps authorities it loaded by file name, so a new
    // authority written over an old one's path would not be seen by a running process.
    const QString dir = uniquePath(where, QStringLiteral("authority"));
    const testsupport::RunResult r =
        testsupport::runProgram(QStringLiteral("python3"), {peerScript("make_certs.py"), dir});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    if (r.exitCode != 0)
        return {};
    return {dir + "/ca.pem",         dir + "/server.pem",      dir + "/server.key",     dir + "/wrong-host.pem",
            dir + "/wrong-host.key", dir + "/self-signed.pem", dir + "/self-signed.key"};
}

Peer::Peer(const QString& script, const QStringList& args)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("python3"),
                   QStringList{script, QStringLiteral("--port"), QStringLiteral("0")} + args);
    if (!process_.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start " << script.toStdString() << ": " << process_.errorString().toStdString();
        return;
    }
    // The peer prints its port once it listens.
    QByteArray out;
    const QDeadlineTimer deadline(15000);
    while (!out.contains('\n') && !deadline.hasExpired() && process_.state() == QProcess::Running) {
        process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += process_.readAllStandardOutput();
    }
    if (out.startsWith("PORT "))
        port_ = quint16(out.mid(5, out.indexOf('\n') - 5).trimmed().toUInt());
    if (port_ == 0)
        ADD_FAILURE() << script.toStdString() << " did not report its port: " << out.toStdString();
}

Peer::~Peer()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.closeWriteChannel();  // the peer ends when its input closes
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

MessageService::MessageService(const QString& dir, const Options& options, const Certificates* certs)
{
    QDir().mkpath(dir);
    const QString config = uniquePath(dir, QStringLiteral("service-config.json"));
    record_ = uniquePath(dir, QStringLiteral("service-record.jsonl"));
    testsupport::writeFile(config, QJsonDocument(options.config).toJson());
    QStringList args{QStringLiteral("--config"), config, QStringLiteral("--record"), record_};
    if (options.tls) {
        const QString cert = !options.cert.isEmpty() ? options.cert : certs ? certs->serverCert : QString();
        const QString key = !options.key.isEmpty() ? options.key : certs ? certs->serverKey : QString();
        args << QStringLiteral("--cert") << cert << QStringLiteral("--key") << key;
    }
    peer_ = std::make_unique<Peer>(peerScript(QStringLiteral("message_service.py")), args);
}

QJsonObject MessageService::answers(const QJsonArray& channels, const QJsonArray& offers)
{
    return QJsonObject{{"getChannelsForMfgr", QJsonObject{{"result", channels}}},
                       {"getOffersForRecords", QJsonObject{{"result", offers}}}};
}

QJsonArray MessageService::received() const
{
    QJsonArray calls;
    const QByteArray data = testsupport::readFile(record_);
    for (const QByteArray& line : data.split('\n')) {
        if (!line.trimmed().isEmpty())
            calls.append(QJsonDocument::fromJson(line).object());
    }
    return calls;
}

RegistrationServer::RegistrationServer(const QString& dir, const QJsonObject& config, const Certificates* certs)
{
    QDir().mkpath(dir);
    const QString configFile = uniquePath(dir, QStringLiteral("registration-config.json"));
    record_ = uniquePath(dir, QStringLiteral("registration-record.jsonl"));
    testsupport::writeFile(configFile, QJsonDocument(config).toJson());
    QStringList args{QStringLiteral("--config"), configFile, QStringLiteral("--record"), record_};
    if (certs != nullptr)
        args << QStringLiteral("--cert") << certs->serverCert << QStringLiteral("--key") << certs->serverKey;
    peer_ = std::make_unique<Peer>(peerScript(QStringLiteral("registration_server.py")), args);
}

QJsonArray RegistrationServer::received() const
{
    QJsonArray calls;
    for (const QByteArray& line : testsupport::readFile(record_).split('\n')) {
        if (!line.trimmed().isEmpty())
            calls.append(QJsonDocument::fromJson(line).object());
    }
    return calls;
}

RawServer::RawServer(const QString& dir, const QByteArray& response, Mode mode, const QString& cert, const QString& key)
{
    QDir().mkpath(dir);
    const QString responseFile = uniquePath(dir, QStringLiteral("raw-response.bin"));
    record_ = uniquePath(dir, QStringLiteral("raw-record.bin"));
    testsupport::writeFile(responseFile, response);
    const char* modeName = mode == Mode::Reply ? "reply" : mode == Mode::Hang ? "hang" : "silent";
    QStringList args{QStringLiteral("--response"), responseFile,
                     QStringLiteral("--mode"),     QString::fromLatin1(modeName),
                     QStringLiteral("--record"),   record_};
    if (!cert.isEmpty())
        args << QStringLiteral("--cert") << cert << QStringLiteral("--key") << key;
    peer_ = std::make_unique<Peer>(peerScript(QStringLiteral("raw_server.py")), args);
}

QByteArray RawServer::received() const
{
    return testsupport::readFile(record_);
}

NotificationServer::NotificationServer(const QString& program, const QString& busAddress, bool answerLate)
    : record_(testsupport::sandboxRoot() + QStringLiteral("/notifications.log"))
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    peer_.setProcessEnvironment(env);
    QStringList arguments{record_};
    if (answerLate)
        arguments << QStringLiteral("--answer-late");
    peer_.start(program, arguments);
    started_ = peer_.waitForStarted(5000) && peer_.waitForReadyRead(10000) && peer_.readLine().trimmed() == "ready";
}

NotificationServer::~NotificationServer()
{
    if (peer_.state() != QProcess::NotRunning) {
        peer_.closeWriteChannel();
        if (!peer_.waitForFinished(5000))
            peer_.kill();
    }
}

QString NotificationServer::waitForLine(const QString& prefix, int ms) const
{
    const QDeadlineTimer deadline(ms);
    for (;;) {
        for (const QString& line : lines())
            if (line.startsWith(prefix))
                return line;
        if (deadline.hasExpired())
            return {};
        QThread::msleep(50);
    }
}

QStringList NotificationServer::lines() const
{
    return QString::fromUtf8(testsupport::readFile(record_)).split(u'\n', Qt::SkipEmptyParts);
}

void NotificationServer::click(const QString& id)
{
    peer_.write("invoke " + id.toUtf8() + " default\n");
    peer_.waitForBytesWritten(5000);
}

void NotificationServer::answer()
{
    peer_.write("answer\n");
    peer_.waitForBytesWritten(5000);
}

PrivateBus::PrivateBus()
{
    const QString socket = uniquePath(testsupport::sandboxRoot(), QStringLiteral("bus"));
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                   QStringLiteral("--print-address=1"), QStringLiteral("--address=unix:path=") + socket});
    if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(10000))
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
    if (address_.isEmpty())
        ADD_FAILURE() << "dbus-daemon did not start: " << daemon_.errorString().toStdString();
}

PrivateBus::~PrivateBus()
{
    stop();
}

void PrivateBus::stop()
{
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }
}

NetworkManager::NetworkManager(const QString& program, uint state)
{
    if (!bus_.up())
        return;
    peer_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer_.start(program, {bus_.address(), QString::number(state)});
    started_ = peer_.waitForStarted(5000) && peer_.waitForReadyRead(10000) && peer_.readLine().trimmed() == "ready";
    if (!started_)
        ADD_FAILURE() << "the NetworkManager peer did not start: " << peer_.errorString().toStdString();
}

NetworkManager::~NetworkManager()
{
    if (peer_.state() != QProcess::NotRunning) {
        peer_.closeWriteChannel();
        if (!peer_.waitForFinished(5000)) {
            peer_.kill();
            peer_.waitForFinished(5000);
        }
    }
}

bool NetworkManager::command(const QByteArray& line)
{
    peer_.write(line + '\n');
    if (!peer_.waitForBytesWritten(5000))
        return false;
    const QDeadlineTimer deadline(10000);
    while (!peer_.canReadLine() && !deadline.hasExpired() && peer_.state() == QProcess::Running)
        peer_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    return peer_.readLine().trimmed() == "ok";
}

bool NetworkManager::setState(uint state)
{
    return command("state " + QByteArray::number(state));
}

bool NetworkManager::silence()
{
    return command("silent");
}

}  // namespace testpeers
