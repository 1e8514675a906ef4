// GMime first: the glib headers it pulls in use names that Qt's headers define as macros.
#include <gmime/gmime.h>

#include "platform/mail/MailMessage.h"

#include <QFile>
#include <QSysInfo>

#include <memory>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace platform::mail {

namespace {

// The longest body line that goes as it is; QP's own lines are no longer.
constexpr qsizetype kPlainLineLimit = 76;

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

// 7bit only for short lines of printable ASCII that end in no blank (a server may strip
// one); anything else is quoted-printable, which keeps every byte.
bool plainSevenBit(const QByteArray& body)
{
    qsizetype column = 0;
    char last = '\n';
    for (const char c : body) {
        if (c == '\n') {
            if (last == ' ' || last == '\t')
                return false;
            column = 0;
        } else if ((quint8(c) < 0x20 && c != '\t') || quint8(c) >= 0x7f || ++column > kPlainLineLimit) {
            return false;
        }
        last = c;
    }
    return last != ' ' && last != '\t';
}

template <typename T>
struct Unref {
    void operator()(T* object) const
    {
        if (object != nullptr)
            g_object_unref(object);
    }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref<T>>;

}  // namespace

QByteArray composeMessage(const QString& senderName, const QString& senderAddress, const QString& recipient,
                          const QString& subject, const QByteArray& body, const QDateTime& now)
{
    static std::once_flag initialized;
    std::call_once(initialized, [] { g_mime_init(); });

    Owned<GMimeMessage> message(g_mime_message_new(TRUE));
    const QByteArray name = oneLine(senderName).trimmed().toUtf8();
    const QByteArray from = senderAddress.toUtf8();
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_FROM, name.isEmpty() ? nullptr : name.constData(),
                               from.constData());
    const QByteArray to = oneLine(recipient).trimmed().toUtf8();
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_TO, nullptr, to.constData());
    g_mime_message_set_subject(message.get(), oneLine(subject).toUtf8().constData(), "UTF-8");

    GDateTime* date = g_date_time_new_from_unix_local(now.toSecsSinceEpoch());
    if (date != nullptr) {
        g_mime_message_set_date(message.get(), date);
        g_date_time_unref(date);
    }
    const qsizetype at = from.lastIndexOf('@');
    char* id = g_mime_utils_generate_message_id(at >= 0 ? from.constData() + at + 1 : "localhost");
    g_mime_message_set_message_id(message.get(), id);
    g_free(id);

    // The body as bytes, not as a C string: it may hold anything the record holds.
    Owned<GMimeTextPart> part(g_mime_text_part_new_with_subtype("plain"));
    Owned<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(body.constData(), size_t(body.size())));
    Owned<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part.get()), content.get());
    g_mime_text_part_set_charset(part.get(), "UTF-8");
    const GMimeContentEncoding encoding =
        plainSevenBit(body) ? GMIME_CONTENT_ENCODING_7BIT : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    g_mime_part_set_content_encoding(GMIME_PART(part.get()), encoding);
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(part.get()));

    char* text = g_mime_object_to_string(GMIME_OBJECT(message.get()), g_mime_format_options_get_default());
    QByteArray out(text != nullptr ? text : "");
    g_free(text);
    return out;
}

QString senderAddress()
{
    QString account;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr)
        account = QString::fromLocal8Bit(entry->pw_name);
    if (account.isEmpty())
        account = qEnvironmentVariable("LOGNAME", qEnvironmentVariable("USER", QStringLiteral("nobody")));
    QString host;
    QFile mailname(QStringLiteral("/etc/mailname"));
    if (mailname.open(QIODevice::ReadOnly))
        host = QString::fromLatin1(mailname.readLine()).trimmed();
    if (host.isEmpty())
        host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return account + u'@' + host;
}

QString sendmailProgram()
{
    const QString configured = qEnvironmentVariable("OVEX_SENDMAIL");
    return configured.isEmpty() ? QStringLiteral("/usr/sbin/sendmail") : configured;
}

}  // namespace platform::mail
