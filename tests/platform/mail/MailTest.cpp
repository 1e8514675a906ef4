#include "platform/mail/Mail.h"

#include "tests/support/RecordingSendmail.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <pwd.h>
#include <unistd.h>

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

int send(const char* name, const char* to, const char* subject, const QByteArray& body)
{
    const OvexMailMessage message{name, to, subject, body.constData(), std::size_t(body.size())};
    return ovex_mail_send(&message);
}

// The local account, as the From address must name it.
QString account()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

}  // namespace

// Every message passes a strict RFC 5322 reader: a From mailbox of the local account with
// the name as display name, the MIME headers of UTF-8 text, no line of 78 characters or more,
// and a body that decodes to exactly the record given.
TEST(MailLayer, AStrictReaderFindsTheSenderTheHeadersAndTheExactBody)
{
    testsupport::RecordingSendmail sendmail;
    const QString longValue = QStringLiteral("NOTE:") + QString(5000, u'x') + QStringLiteral("\n");
    struct Case {
        const char* name;
        QString sender;
        QString subject;
        QByteArray body;
        const char* encoding;
        int lineLimit = 78;
    } cases[] = {
        {"a short ASCII record goes as it is", QStringLiteral("Smith"), QStringLiteral("Smith OVX1 Registration"),
         "\n>BeginFields\nLNAM:Smith\nCITY:Paris\n>EndFields\n", "7bit"},
        {"a name outside ASCII is encoded", QStringLiteral("Zoë"), QStringLiteral("Zoë OVX1 Registration"),
         QStringLiteral("\n>BeginFields\nLNAM:Zoë\n.\nCITY:Москва\n>EndFields\n").toUtf8(), "quoted-printable"},
        {"a 5,000-character value is folded and kept", QStringLiteral("Smith"),
         QStringLiteral("Smith OVX1 Registration"), ("\n>BeginFields\n" + longValue + ">EndFields\n").toUtf8(),
         "quoted-printable"},
        {"commas, colons and quotes in the name are quoted", QStringLiteral("Smith, Jr.: \"Q\" (the 2nd)"),
         QStringLiteral("s"), "x\n", "7bit"},
        {"a long subject outside ASCII is folded", QStringLiteral("Þórsdóttir"),
         QStringLiteral("Þórsdóttir Регистрация ✓ Ελληνικά Ἀθῆναι Zürich Genève Kraków Ørsted Łódź"), "x\n", "7bit"},
        // GMime keeps one word in one encoded word: a longer line, still far from the limit.
        {"one word longer than an encoded word", QString(40, QChar(0x00e9)), QString(40, QChar(0x00e9)), "x\n", "7bit",
         998},
        {"a blank at a line's end and a NUL are kept", QStringLiteral("Anna"), QStringLiteral("s"),
         QByteArray("CITY:Paris \nNOTE:a\0b\n", 21), "quoted-printable"},
    };
    for (const Case& c : cases) {
        sendmail.Reset();
        const QByteArray name = c.sender.toUtf8();
        const QByteArray subject = c.subject.toUtf8();
        ASSERT_EQ(send(name.constData(), "register@example.com", subject.constData(), c.body), OVEX_MAIL_SUCCESS)
            << c.name << ": " << ovex_mail_last_error_text();
        EXPECT_EQ(sendmail.Argv(), "-oi\n--\nregister@example.com\n") << c.name;
        QString defect;
        const QJsonObject read = sendmail.Read(&defect);
        ASSERT_FALSE(read.isEmpty()) << c.name << ": " << defect.toStdString() << "\n"
                                     << sendmail.Message().toStdString();
        QString fromName = read.value("from_name").toString();
        // Python's reader keeps the folding blank between two encoded words of one name,
        // which RFC 2047 says to drop; the long word's case is compared without it.
        if (c.lineLimit > 78)
            fromName.remove(u' ');
        EXPECT_EQ(fromName, c.sender) << c.name;
        EXPECT_TRUE(read.value("from_address").toString().startsWith(account() + u'@')) << c.name;
        EXPECT_GT(read.value("from_address").toString().size(), account().size() + 1) << c.name;
        EXPECT_EQ(read.value("to").toArray(), QJsonArray{"register@example.com"}) << c.name;
        EXPECT_EQ(read.value("subject").toString(), c.subject) << c.name;
        EXPECT_EQ(read.value("mime_version").toString(), "1.0") << c.name;
        EXPECT_EQ(read.value("content_type").toString(), "text/plain") << c.name;
        EXPECT_EQ(read.value("charset").toString(), "utf-8") << c.name;
        EXPECT_EQ(read.value("transfer_encoding").toString(), c.encoding) << c.name;
        EXPECT_TRUE(read.value("has_date").toBool()) << c.name;
        EXPECT_LT(read.value("longest_line").toInt(), c.lineLimit) << c.name << "\n"
                                                                   << sendmail.Message().toStdString();
        EXPECT_EQ(testsupport::RecordingSendmail::Body(read), c.body) << c.name;
    }
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
    const QJsonObject read = sendmail.Read();
    ASSERT_FALSE(read.isEmpty()) << sendmail.Message().toStdString();
    EXPECT_EQ(read.value("subject").toString(), "Hi Bcc: other@example.com body");
    EXPECT_EQ(read.value("from_name").toString(), "Eve Bcc: victim@example.com");
    EXPECT_EQ(testsupport::RecordingSendmail::Body(read), "text\n");
    // An address with a control character is refused before anything runs.
    sendmail.Reset();
    EXPECT_EQ(send("Eve", "a@example.com\nb@example.com", "s", "x"), OVEX_MAIL_E_INVALID_RECIPS);
    EXPECT_EQ(send("Eve", "", "s", "x"), OVEX_MAIL_E_INVALID_RECIPS);
    EXPECT_FALSE(sendmail.Ran());
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
