#include "tests/peers/ModemService.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QRegularExpression>
#include <QThread>

namespace testpeers {

const QByteArray kServiceAck = QByteArray::fromHex("0100000000020159005a");
const QByteArray kServiceNak = QByteArray::fromHex("010000000002014e004f");

QByteArray servicePacket(quint8 sequence, char type, const QByteArray& payload)
{
    QByteArray body;
    body.append(char(sequence));
    body.append(type);
    body += payload;
    quint16 sum = 0;
    for (const char c : body)
        sum = quint16(sum + quint8(c));
    const quint32 declared = quint32(payload.size()) + 2;
    QByteArray out("\x01\x00", 2);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(declared >> shift));
    out += body;
    out.append(char(sum >> 8));
    out.append(char(sum & 0xFF));
    return out;
}

platform::HayesTelephonyOptions telephonyFor(const FakeModem& modem)
{
    platform::HayesTelephonyOptions options;
    options.sysfsRoot = testsupport::sandboxRoot() + QStringLiteral("/no-tty");
    QDir().mkpath(options.sysfsRoot);
    options.configured = {modem.devicePath()};
    options.answerMs = 400;
    options.guardMs = 30;
    return options;
}

QByteArray dumpedBytes(const QString& dump)
{
    QByteArray out;
    static const QRegularExpression row(QStringLiteral("^\\s+\\d+\\s+(.*?)\\|\\|"));
    for (const QString& line : dump.split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
        const QRegularExpressionMatch m = row.match(line);
        if (!m.hasMatch())
            continue;
        for (const QString& hex : m.captured(1).split(u' ', Qt::SkipEmptyParts))
            out.append(char(hex.toInt(nullptr, 16)));
    }
    return out;
}

QByteArray remoteRecord(const char* name, const QByteArray& data)
{
    QByteArray out(name, 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(quint32(data.size()) >> shift));
    return out + data;
}

QByteArray utf16Arg(const QString& text)
{
    QByteArray out(4, '\0');
    for (const QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

QByteArray codeArg(const char* code, const QString& text)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i) {
        out.append(code[i]);
        out.append('\0');
    }
    return out + utf16Arg(text).mid(4);
}

namespace {

void logWire(ServiceLog& log, const QByteArray& bytes)
{
    std::lock_guard lock(log.mutex);
    log.wire += bytes;
}

bool playX25(FakeModem::Link& link, const X25Dialogue& d, ServiceLog& log)
{
    QByteArray got;
    const auto step = [&](const QByteArray& until, const QByteArray& answer, bool echo = false) {
        const bool ok = link.readUntil(until, 8000, &got);
        logWire(log, got);
        if (ok && echo)
            link.write(got);
        if (ok && !answer.isEmpty())
            link.write(answer);
        return ok;
    };
    if (!step(d.dots, d.logonPrompt))
        return false;
    // The user name, then the password, each ended by CR.
    if (!step("\r", d.passwordPrompt, d.echoes) || !step("\r", d.welcome, d.echoes))
        return false;
    // The settings lines and the call, each answered by nothing but the next.
    if (!step(d.call, {}))
        return false;
    if (d.connects)
        link.write(d.connected);
    return d.connects;
}

}  // namespace

std::function<void(FakeModem::Link&)> registrationService(ServiceScript script, std::shared_ptr<ServiceLog> log)
{
    return [script, log](FakeModem::Link& link) {
        struct Done {
            ServiceLog& log;
            ~Done() { log.done = true; }
        } done{*log};
        if (script.silent) {
            QByteArray got;
            link.readUntil("never", 3000, &got);
            logWire(*log, got);
            return;
        }
        if (script.x25 && !playX25(link, *script.x25, *log))
            return;
        if (script.packetsIn == 0)
            return;
        // The service opens the exchange and says so again until the first packet comes.
        QByteArray first;
        for (int i = 0; i < 20 && first.isEmpty() && !link.stopping(); ++i) {
            link.write(kServiceNak);
            first = link.readPacket(1000);
        }
        QByteArray previous;
        QByteArray packet = first;
        int taken = 0;
        while (taken < script.packetsIn && !packet.isEmpty()) {
            logWire(*log, packet);
            // A packet sent again because a stray NAK was read as a refusal is acknowledged
            // again and counted once.
            if (packet != previous) {
                std::lock_guard lock(log->mutex);
                log->packets << packet;
                ++taken;
            }
            previous = packet;
            if (taken == script.hangUpAfter) {
                link.hangUp();
                return;
            }
            link.write(kServiceAck);
            if (taken < script.packetsIn)
                packet = link.readPacket(8000);
        }
        if (taken < script.packetsIn)
            return;
        link.write(servicePacket(7, 'D', script.reply));
        logWire(*log, link.read(kServiceAck.size(), 8000));
    };
}

}  // namespace testpeers
