#pragma once

// The built client as a process and a private session bus.

#include "client/Database.h"
#include "tests/support/TestEnvironment.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <ostream>

#include <csignal>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join(" | ").toStdString() << '}'; }

namespace e2etest {

// OvexKelvo with its traces on stderr, in the test's environment without a display or a
// session bus unless `extra` gives one: the idle time then cannot be read, so a
// scheduled run announces without its idle wait.
class ClientProcess {
public:
    explicit ClientProcess(const QProcessEnvironment& extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "http_proxy", "https_proxy",
                                 "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("ovex.client.info=true"));
        for (const QString& key : extra.keys())
            env.insert(key, extra.value(key));
        process_.setProcessEnvironment(env);
    }
    ~ClientProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    void start(const QStringList& args) { process_.start(testsupport::programPath(QStringLiteral("OvexKelvo")), args); }

    // Waits until stderr holds `text`; false when the client ended or time ran out first.
    bool waitFor(const QByteArray& text, int ms = 30000)
    {
        const QDeadlineTimer deadline(ms);
        while (!err_.contains(text)) {
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                return err_.contains(text);
            process_.waitForReadyRead(100);
            err_ += process_.readAllStandardError();
        }
        return true;
    }
    // Waits for the client to end by itself.
    bool finish(int ms = 30000)
    {
        const bool ended = process_.waitForFinished(ms);
        err_ += process_.readAllStandardError();
        return ended && process_.exitStatus() == QProcess::NormalExit;
    }
    // Ends it as a logout would.
    bool terminate()
    {
        ::kill(pid_t(process_.processId()), SIGTERM);
        return finish();
    }
    int exitCode() const { return process_.exitCode(); }
    const QByteArray& err() const { return err_; }
    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
    QByteArray err_;
};

// A dbus-daemon of the test's own.
class SessionBus {
public:
    SessionBus()
    {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                       QStringLiteral("--print-address=1"),
                       QStringLiteral("--address=unix:path=") + testsupport::sandboxRoot() + "/session-bus"});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(10000))
            address_ = QString::fromUtf8(daemon_.readLine().trimmed());
    }
    ~SessionBus()
    {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(5000))
                daemon_.kill();
        }
    }
    bool up() const { return !address_.isEmpty(); }
    QString address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

// One column set of every row of `sql` in the data folder's brevant.dat, "|"-joined.
inline QStringList queryRows(const QString& sql, const QStringList& columns)
{
    QStringList out;
    for (const client::RecordMap& row : client::Database::Query(sql, client::Database::Instance())) {
        QStringList values;
        for (const QString& c : columns)
            values << client::GetField(row, c);
        out << values.join(u'|');
    }
    return out;
}

}  // namespace e2etest
