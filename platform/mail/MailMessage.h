#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace platform::mail {

// The whole message as the sendmail program reads it, composed by GMime: From (the name as
// display name of `senderAddress`, quoted or encoded as RFC 5322 and 2047 ask), To, Subject,
// Date (`now`), Message-Id, the MIME headers of UTF-8 plain text and the body. The body goes
// as 7bit when every line is short printable ASCII, else quoted-printable, so no line of
// the message grows past 76 characters and the body decodes to exactly `body`. Line breaks
// in the name or subject become blanks: no header can be slipped in.
QByteArray composeMessage(const QString& senderName, const QString& senderAddress, const QString& recipient,
                          const QString& subject, const QByteArray& body, const QDateTime& now);

// The local account's address, as the mail system would write it: the user name, "@" and
// the host's mail name (/etc/mailname, else the host name).
QString senderAddress();

// The program the layer runs: $OVEX_SENDMAIL when set, else /usr/sbin/sendmail.
QString sendmailProgram();

}  // namespace platform::mail
