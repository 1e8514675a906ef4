#include "platform/mail/Mail.h"

#include "tests/support/RecordingSendmail.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QList>

namespace {

struct Sent {
    QList<QByteArray> headers;
    QByteArray body;
};

Sent split(const QByteArray& message)
{
    Sent sent;
    const qsizetype end = message.indexOf("\n\n");
    EXPECT_GE(end, 0) << "no blank line after the headers";
    sent.headers = message.left(end).split('\n');
    sent.body = message.mid(end + 2);
    return sent;
}

QByteArray header(const Sent& sent, const QByteArray& name)
{
    for (const QByteArray& line : sent.headers)
        if (line.startsWith(name + ": "))
            return line.mid(name.size() + 2);
    return {};
}

int send(const char* name, const char* to, const char* subject, const QByteArray& body)
{
    const OvexMailMessage message{name, to, subject, body.constData(), std::size_t(body.size())};
    return ovex_mail_send(&message);
}

}  // namespace

TEST(MailLayer, SendsArgvHeadersAndTheExactBody)
{
    testsupport::RecordingSendmail sendmail;
    const QByteArray body = QStringLiteral("\n>BeginFields\nLNAM:Þórsdóttir\n.\nCITY:Москва\n>EndFields\n").toUtf8();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    ASSERT_EQ(send("Anna", "register@example.com", "Anna OVEX Registration", body), OVEX_MAIL_SUCCESS)
        << ovex_mail_last_error_text();
    EXPECT_EQ(sendmail.Argv(), "-oi\n--\nregister@example.com\n");
    const Sent sent = split(sendmail.Message());
    EXPECT_EQ(header(sent, "To"), "register@example.com");
    EXPECT_EQ(header(sent, "From"), "Anna");
    EXPECT_EQ(header(sent, "Subject"), "Anna OVEX Registration");
    EXPECT_EQ(header(sent, "MIME-Version"), "1.0");
    EXPECT_EQ(header(sent, "Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_EQ(header(sent, "Content-Transfer-Encoding"), "8bit");
    const QDateTime date = QDateTime::fromString(QString::fromLatin1(header(sent, "Date")), Qt::RFC2822Date);
    ASSERT_TRUE(date.isValid()) << header(sent, "Date").toStdString();
    EXPECT_GE(date, before);
    EXPECT_LE(date, QDateTime::currentDateTime().addSecs(1));
    EXPECT_EQ(sent.body, body);
}

// A name or subject with line breaks stays one header line: nothing can be slipped in.
TEST(MailLayer, HeaderValuesCarryNoLineBreaks)
{
    testsupport::RecordingSendmail sendmail;
    ASSERT_EQ(send("Eve\r\nBcc: victim@example.com", "register@example.com", "Hi\nBcc: other@example.com\r\n\r\nbody",
                   "text\n"),
              OVEX_MAIL_SUCCESS);
    const Sent sent = split(sendmail.Message());
    for (const QByteArray& line : sent.headers)
        EXPECT_FALSE(line.startsWith("Bcc")) << line.toStdString();
    EXPECT_EQ(header(sent, "Subject"), "Hi Bcc: other@example.com body");
    EXPECT_EQ(header(sent, "From"), "Eve Bcc: victim@example.com");
    EXPECT_EQ(sent.body, "text\n");
    // An address with a control character is refused before anything runs.
    sendmail.Reset();
    EXPECT_EQ(send("Eve", "a@example.com\nb@example.com", "s", "x"), OVEX_MAIL_E_INVALID_RECIPS);
    EXPECT_EQ(send("Eve", "", "s", "x"), OVEX_MAIL_E_INVALID_RECIPS);
    EXPECT_FALSE(sendmail.Ran());
}

TEST(MailLayer, TextsOutsideAsciiGoAsEncodedWords)
{
    testsupport::RecordingSendmail sendmail;
    const QString subject = QStringLiteral("Þórsdóttir Регистрация ✓ ") + QString(40, QChar(0x00e9));
    ASSERT_EQ(send("Zoë", "register@example.com", subject.toUtf8().constData(), "x"), OVEX_MAIL_SUCCESS);
    const QByteArray message = sendmail.Message();
    const qsizetype start = message.indexOf("Subject: ") + 9;
    QByteArray folded = message.mid(start, message.indexOf("\nDate:") - start);
    QByteArray decoded;
    for (QByteArray word : folded.split('\n')) {
        word = word.trimmed();
        ASSERT_TRUE(word.startsWith("=?UTF-8?B?") && word.endsWith("?=")) << word.toStdString();
        EXPECT_LE(word.size(), 75);
        const QByteArray part = QByteArray::fromBase64(word.mid(10, word.size() - 12));
        EXPECT_TRUE(QString::fromUtf8(part).toUtf8() == part) << "a word ends inside a character";
        decoded += part;
    }
    EXPECT_EQ(QString::fromUtf8(decoded), subject);
}

TEST(MailLayer, ExitCodesOfTheProgram)
{
    testsupport::RecordingSendmail sendmail;
    const struct {
        int exitCode;
        int result;
    } cases[] = {
        {0, OVEX_MAIL_SUCCESS},
        {75, OVEX_MAIL_E_FAILURE},  // EX_TEMPFAIL: not taken, not a success
        {1, OVEX_MAIL_E_FAILURE},
        {67, OVEX_MAIL_E_UNKNOWN_RECIPIENT},
    };
    for (const auto& c : cases) {
        sendmail.Reset();
        sendmail.SetExitCode(c.exitCode);
        EXPECT_EQ(send("Anna", "register@example.com", "s", "body\n"), c.result) << "exit " << c.exitCode;
        EXPECT_TRUE(sendmail.Ran());
        EXPECT_EQ(c.result == OVEX_MAIL_SUCCESS, QByteArray(ovex_mail_last_error_text()).isEmpty());
    }
    sendmail.Reset();
    sendmail.SetExitCode(75);
    send("Anna", "register@example.com", "s", "body\n");
    EXPECT_TRUE(QByteArray(ovex_mail_last_error_text()).contains("75"));
}

TEST(MailLayer, AvailableOnlyWithAProgramToRun)
{
    testsupport::RecordingSendmail sendmail;
    EXPECT_EQ(ovex_mail_is_available(), 1);
    QFile::setPermissions(sendmail.Program(), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(ovex_mail_is_available(), 0) << "not executable";
    qputenv("OVEX_SENDMAIL", (sendmail.Program() + QStringLiteral(".missing")).toLocal8Bit());
    EXPECT_EQ(ovex_mail_is_available(), 0);
    EXPECT_EQ(send("Anna", "register@example.com", "s", "x"), OVEX_MAIL_E_FAILURE);
}
