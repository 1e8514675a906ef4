#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace platform::mail {

// A header value on one line: every run of CR and LF becomes one blank. Texts outside
// printable ASCII become RFC 2047 encoded words ("=?UTF-8?B?...?="), cut on characters.
QByteArray headerValue(const QString& text);

// The whole message as the sendmail program reads it: From (when there is a name), To,
// Subject, Date (`now`), the MIME headers for UTF-8 text, a blank line and the body.
QByteArray composeMessage(const QString& senderName, const QString& recipient, const QString& subject,
                          const QByteArray& body, const QDateTime& now);

// The program the layer runs: $OVEX_SENDMAIL when set, else /usr/sbin/sendmail.
QString sendmailProgram();

}  // namespace platform::mail
