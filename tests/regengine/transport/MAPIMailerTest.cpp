#include "regengine/transport/MAPIMailer.h"

#include "platform/mail/Mail.h"

#include "tests/support/RecordingSendmail.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

QStringList buildLibrary()
{
    return {QStringLiteral(OVEX_MAIL_LIBRARY_DIR "/" OVEX_MAIL_LIBRARY_NAME)};
}

struct Recorded {
    QStringList notices;
    QList<bool> modality;
};

void watch(MAPIMailer& mailer, Recorded& recorded)
{
    mailer.SetNotice([&](const QString& text) { recorded.notices.append(text); });
    mailer.SetModality([&](bool sending) { recorded.modality.append(sending); });
}

}  // namespace

TEST(MAPIMailer, SendsThroughTheMailLibrary)
{
    testsupport::RecordingSendmail sendmail;
    MAPIMailer mailer(buildLibrary());
    Recorded recorded;
    watch(mailer, recorded);
    ASSERT_TRUE(mailer.IsMailAvailable());
    mailer.SetAddresses(QStringLiteral("Anna"), QStringLiteral("register@example.com"),
                        QStringLiteral("Anna OVEX Registration"));
    mailer.SetBody(QByteArray("\n>BeginFields\nLNAM:Anna\n>EndFields\n"));
    EXPECT_TRUE(mailer.Send());
    EXPECT_EQ(sendmail.Argv(), "-oi\n--\nregister@example.com\n");
    EXPECT_TRUE(sendmail.Message().endsWith("\n\n\n>BeginFields\nLNAM:Anna\n>EndFields\n"));
    EXPECT_EQ(recorded.modality, (QList<bool>{true, false})) << "windows disabled during the send, then enabled";
    EXPECT_TRUE(recorded.notices.isEmpty());
}

TEST(MAPIMailer, MissingTextsOrMailReturnFalseSilently)
{
    testsupport::RecordingSendmail sendmail;
    {
        MAPIMailer mailer(buildLibrary());
        Recorded recorded;
        watch(mailer, recorded);
        mailer.SetAddresses(QStringLiteral("Anna"), QStringLiteral("register@example.com"), QString());
        EXPECT_FALSE(mailer.Send());
        EXPECT_FALSE(sendmail.Ran());
        EXPECT_TRUE(recorded.notices.isEmpty());
        EXPECT_TRUE(recorded.modality.isEmpty());
    }
    qputenv("OVEX_SENDMAIL", "/nonexistent/sendmail");
    MAPIMailer mailer(buildLibrary());
    Recorded recorded;
    watch(mailer, recorded);
    EXPECT_FALSE(mailer.IsMailAvailable());
    mailer.SetAddresses(QStringLiteral("Anna"), QStringLiteral("register@example.com"), QStringLiteral("s"));
    EXPECT_FALSE(mailer.Send());
    EXPECT_TRUE(recorded.notices.isEmpty());
}

TEST(MAPIMailer, AFailedSendIsReported)
{
    testsupport::RecordingSendmail sendmail;
    for (int exitCode : {1, 75}) {
        sendmail.Reset();
        sendmail.SetExitCode(exitCode);
        MAPIMailer mailer(buildLibrary());
        Recorded recorded;
        watch(mailer, recorded);
        mailer.SetAddresses(QStringLiteral("Anna"), QStringLiteral("register@example.com"), QStringLiteral("s"));
        mailer.SetBody("x");
        EXPECT_FALSE(mailer.Send()) << exitCode;
        EXPECT_EQ(recorded.notices, QStringList{QStringLiteral("Send Mail failed to send message.")});
        EXPECT_EQ(recorded.modality, (QList<bool>{true, false}));
    }
}

TEST(MAPIMailer, TextsAreCutAt255Characters)
{
    MAPIMailer mailer(buildLibrary());
    mailer.SetAddresses(QString(300, QLatin1Char('f')), QString(300, QLatin1Char('t')), QString(300, QLatin1Char('s')));
    EXPECT_EQ(mailer.GetFrom().size(), 255);
    EXPECT_EQ(mailer.GetTo().size(), 255);
    EXPECT_EQ(mailer.GetSubject().size(), 255);
}
