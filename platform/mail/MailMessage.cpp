#include "platform/mail/MailMessage.h"

#include <QLocale>

namespace platform::mail {

namespace {

bool isPlainAscii(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

QString oneLine(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (!inBreak)
                out += QLatin1Char(' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        out += c;
    }
    return out;
}

// RFC 5322 date-time in English whatever the user's locale: "Fri, 11 Dec 2026 02:20:00 +0000".
QByteArray rfc5322Date(const QDateTime& now)
{
    const QLocale c = QLocale::c();
    const int offset = now.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return (c.toString(now, QStringLiteral("ddd, d MMM yyyy HH:mm:ss ")) + zone).toLatin1();
}

}  // namespace

QByteArray headerValue(const QString& text)
{
    const QString line = oneLine(text);
    if (isPlainAscii(line))
        return line.toLatin1();
    // Encoded words of at most 45 bytes (60 base64 characters), never splitting a character,
    // joined by folding whitespace so that no line grows past the limit.
    const QByteArray utf8 = line.toUtf8();
    QByteArray out;
    qsizetype at = 0;
    while (at < utf8.size()) {
        qsizetype end = qMin(at + 45, utf8.size());
        while (end < utf8.size() && end > at && (quint8(utf8.at(end)) & 0xC0) == 0x80)
            --end;
        if (end == at)
            end = qMin(at + 45, utf8.size());
        if (!out.isEmpty())
            out += "\n ";
        out += "=?UTF-8?B?" + utf8.mid(at, end - at).toBase64() + "?=";
        at = end;
    }
    return out;
}

QByteArray composeMessage(const QString& senderName, const QString& recipient, const QString& subject,
                          const QByteArray& body, const QDateTime& now)
{
    QByteArray message;
    // The sender's address is the local account's, which the program fills in; the name
    // rides along as a display name only when there is one.
    if (!oneLine(senderName).trimmed().isEmpty())
        message += "From: " + headerValue(senderName) + "\n";
    message += "To: " + headerValue(recipient) + "\n";
    message += "Subject: " + headerValue(subject) + "\n";
    message += "Date: " + rfc5322Date(now) + "\n";
    message += "MIME-Version: 1.0\n";
    message += "Content-Type: text/plain; charset=UTF-8\n";
    message += "Content-Transfer-Encoding: 8bit\n";
    message += "\n";
    message += body;
    return message;
}

QString sendmailProgram()
{
    const QString configured = qEnvironmentVariable("OVEX_SENDMAIL");
    return configured.isEmpty() ? QStringLiteral("/usr/sbin/sendmail") : configured;
}

}  // namespace platform::mail
