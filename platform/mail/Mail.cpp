#include "platform/mail/Mail.h"

#include "platform/mail/MailMessage.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>

#include <mutex>
#include <string>

namespace {

// One text for the process, not per thread: the engine sends from its one UI thread, and
// dynamic thread-local storage of a library loaded by name trips LeakSanitizer's scan.
std::mutex g_errorLock;
std::string g_lastError;

int fail(int code, const QString& why)
{
    const std::lock_guard<std::mutex> lock(g_errorLock);
    g_lastError = why.toStdString();
    return code;
}

bool hasControlCharacter(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

}  // namespace

extern "C" {

int ovex_mail_api_version(void)
{
    return OVEX_MAIL_API_VERSION;
}

int ovex_mail_is_available(void)
{
    const QFileInfo program(platform::mail::sendmailProgram());
    return program.isFile() && program.isExecutable() ? 1 : 0;
}

int ovex_mail_send(const OvexMailMessage* message)
{
    {
        const std::lock_guard<std::mutex> lock(g_errorLock);
        g_lastError.clear();
    }
    if (message == nullptr || message->recipient == nullptr)
        return fail(OVEX_MAIL_E_INVALID_RECIPS, QStringLiteral("No recipient"));
    const QString recipient = QString::fromUtf8(message->recipient).trimmed();
    // The address is also the program's argument: a control character could break the
    // To header or the program's reading of it.
    if (recipient.isEmpty() || hasControlCharacter(recipient))
        return fail(OVEX_MAIL_E_INVALID_RECIPS, QStringLiteral("Invalid recipient address"));
    const QString program = platform::mail::sendmailProgram();
    if (!ovex_mail_is_available())
        return fail(OVEX_MAIL_E_FAILURE, QStringLiteral("No mail program at %1").arg(program));

    const QByteArray body =
        message->body != nullptr ? QByteArray(message->body, qsizetype(message->bodyLength)) : QByteArray();
    const QByteArray text = platform::mail::composeMessage(
        QString::fromUtf8(message->senderName ? message->senderName : ""), platform::mail::senderAddress(), recipient,
        QString::fromUtf8(message->subject ? message->subject : ""), body, QDateTime::currentDateTime());

    QProcess process;
    process.setProgram(program);
    // -oi: a line of a single dot is text, not the end; "--" keeps the address an address.
    process.setArguments({QStringLiteral("-oi"), QStringLiteral("--"), recipient});
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(OVEX_MAIL_TIMEOUT_MS))
        return fail(OVEX_MAIL_E_FAILURE, QStringLiteral("Unable to start %1: %2").arg(program, process.errorString()));
    qint64 written = 0;
    while (written < text.size()) {
        const qint64 n = process.write(text.constData() + written, text.size() - written);
        if (n < 0)
            break;
        written += n;
        process.waitForBytesWritten(OVEX_MAIL_TIMEOUT_MS);
    }
    while (process.bytesToWrite() > 0 && process.waitForBytesWritten(OVEX_MAIL_TIMEOUT_MS)) {}
    process.closeWriteChannel();
    if (!process.waitForFinished(OVEX_MAIL_TIMEOUT_MS)) {
        process.kill();
        process.waitForFinished(5000);
        return fail(OVEX_MAIL_E_FAILURE, QStringLiteral("%1 did not finish in time").arg(program));
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return fail(OVEX_MAIL_E_FAILURE, QStringLiteral("%1 crashed").arg(program));
    switch (process.exitCode()) {
    case 0:
        return written == text.size()
                   ? OVEX_MAIL_SUCCESS
                   : fail(OVEX_MAIL_E_FAILURE, QStringLiteral("%1 did not read the whole message").arg(program));
    case 67:  // EX_NOUSER
        return fail(OVEX_MAIL_E_UNKNOWN_RECIPIENT, QStringLiteral("Unknown recipient %1").arg(recipient));
    case 75:  // EX_TEMPFAIL: not taken now
        return fail(OVEX_MAIL_E_FAILURE, QStringLiteral("%1 could not take the message now (exit 75)").arg(program));
    default:
        return fail(OVEX_MAIL_E_FAILURE,
                    QStringLiteral("%1 failed with exit code %2").arg(program).arg(process.exitCode()));
    }
}

const char* ovex_mail_last_error_text(void)
{
    const std::lock_guard<std::mutex> lock(g_errorLock);
    return g_lastError.c_str();
}

}  // extern "C"
