#include "launcher/registration/EmailRun.h"
#include "launcher/window/RegWind.h"
#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/support/RecordingSendmail.h"
#include "tests/support/TestEnvironment.h"

#include "platform/mail/Mail.h"
#include "platform/ui/Ui.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonObject>

using namespace engine;
using namespace launcher;

namespace {

const QString kScript = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Caption\n"
    ">SETHEADER PROD OVEX\n"
    ">SETFIELD LNAM Þórsdóttir\n>SETFIELD FNAM Anna\n>SETFIELD _PRV hidden\n");

class RecordingSink final : public platform::MessageSink {
public:
    RecordingSink() { platform::setMessageSink(this); }
    ~RecordingSink() override { platform::setMessageSink(nullptr); }
    int messageBox(const QString& text, const QString&, unsigned) override
    {
        texts.append(text);
        return platform::id::Ok;
    }
    void beep(unsigned) override {}
    QStringList texts;
};

EmailRunHooks hooks(std::function<QString(const QString&)> chooser = {})
{
    EmailRunHooks h;
    h.mailLibrary = {QStringLiteral(OVEX_MAIL_LIBRARY_DIR "/" OVEX_MAIL_LIBRARY_NAME)};
    h.chooseFile = chooser ? chooser : [](const QString&) {
        ADD_FAILURE() << "no file expected";
        return QString();
    };
    return h;
}

std::unique_ptr<ScriptReader> windowWithMail(const QString& address, bool useMapi, const QString& extra = {})
{
    auto reader = regwindtest::runScript(kScript + extra);
    reader->GetWindow()->GetSettings().mailAddress = address;
    reader->GetWindow()->GetSettings().useMapi = useMapi;
    return reader;
}

}  // namespace

// The mail as a strict reader takes it: the last name as the sender's display name, the
// record between its markers exactly as the window writes it, whatever its length or letters.
TEST(EmailRun, MailsTheRecordBetweenItsMarkers)
{
    struct Case {
        const char* name;
        QString lastName;
        QString note;
    } cases[] = {
        {"a name outside ASCII", QStringLiteral("Zoë"), QStringLiteral("short")},
        {"a 5,000-character value", QStringLiteral("Þórsdóttir"), QString(5000, u'x')},
        {"a name with a comma", QStringLiteral("Smith, Jr."), QStringLiteral("Ünïcödé ") + QString(200, QChar(0x4e16))},
    };
    for (const Case& c : cases) {
        testsupport::RecordingSendmail sendmail;
        RecordingSink sink;
        auto reader = windowWithMail(QStringLiteral("register@example.com"), true);
        RegWind* window = reader->GetWindow();
        window->GetList(RegWind::PageFields)->SetField(FourCC("LNAM"), c.lastName);
        window->GetList(RegWind::PageFields)->SetField(FourCC("NOTE"), c.note);
        ASSERT_TRUE(RegisterByEmail(*window, true, hooks())) << c.name;
        EXPECT_EQ(sendmail.Argv(), "-oi\n--\nregister@example.com\n");
        QString defect;
        const QJsonObject read = sendmail.Read(&defect);
        ASSERT_FALSE(read.isEmpty()) << c.name << ": " << defect.toStdString();
        EXPECT_EQ(read.value("from_name").toString(), c.lastName) << c.name;
        const QString product = window->GetList(RegWind::HeaderRecord)->GetField(FourCC("PROD"));
        EXPECT_EQ(read.value("subject").toString(), c.lastName + u' ' + product + QStringLiteral(" Registration"))
            << c.name;
        EXPECT_LT(read.value("longest_line").toInt(), 78) << c.name;
        const QByteArray body = testsupport::RecordingSendmail::Body(read);
        const QString record = window->FieldsText(u'\n', RegWind::kLeaveOutPrivate);
        EXPECT_EQ(body, ("\n>BeginFields\n" + record + ">EndFields\n").toUtf8()) << c.name;
        EXPECT_TRUE(body.contains((QStringLiteral("NOTE:") + c.note + u'\n').toUtf8())) << c.name;
        EXPECT_TRUE(body.contains("FNAM:Anna\n"));
        EXPECT_FALSE(body.contains("hidden"));
        EXPECT_TRUE(sink.texts.isEmpty());
        EXPECT_TRUE(window->isEnabled());
    }
}

TEST(EmailRun, SubjectFallsBackToUnknown)
{
    EXPECT_EQ(EmailSubject(QString(), QStringLiteral("OVEX")), QStringLiteral("Unknown OVEX Registration"));
    testsupport::RecordingSendmail sendmail;
    auto reader = windowWithMail(QStringLiteral("register@example.com"), true, QStringLiteral(">SETFIELD LNAM _nil\n"));
    reader->GetWindow()->GetList(RegWind::PageFields)->SetField(FourCC("LNAM"), QString());
    ASSERT_TRUE(RegisterByEmail(*reader->GetWindow(), true, hooks()));
    const QString product = reader->GetWindow()->GetList(RegWind::HeaderRecord)->GetField(FourCC("PROD"));
    const QJsonObject read = sendmail.Read();
    ASSERT_FALSE(read.isEmpty()) << sendmail.Message().toStdString();
    EXPECT_EQ(read.value("subject").toString(), "Unknown " + product + " Registration");
    EXPECT_EQ(read.value("from_name").toString(), "Unknown");
}

TEST(EmailRun, AFailedSendIsNotARegistration)
{
    testsupport::RecordingSendmail sendmail;
    sendmail.SetExitCode(75);
    RecordingSink sink;
    auto reader = windowWithMail(QStringLiteral("register@example.com"), true);
    EXPECT_FALSE(RegisterByEmail(*reader->GetWindow(), true, hooks()));
    EXPECT_EQ(sink.texts, (QStringList{QStringLiteral("Send Mail failed to send message."),
                                       QStringLiteral("Your registration was not sent, please try again or choose a "
                                                      "different registration method.")}));
    EXPECT_TRUE(reader->GetWindow()->isEnabled());
}

// SETMAIL's 'N' (or no mail system) saves a text file instead, even where mail works.
TEST(EmailRun, WithoutMailTheTextIsSavedToAFile)
{
    testsupport::RecordingSendmail sendmail;
    RecordingSink sink;
    auto reader = windowWithMail(QStringLiteral("reg%s@example.com"), false);
    const QString path = QDir(testsupport::sandboxRoot()).filePath(QStringLiteral("saved.txt"));
    QString proposed;
    ASSERT_TRUE(RegisterByEmail(*reader->GetWindow(), true, hooks([&](const QString& name) {
        proposed = name;
        return path;
    })));
    EXPECT_FALSE(sendmail.Ran());
    EXPECT_EQ(proposed, QStringLiteral("EMail to reg%s@example.com.txt"));
    const QString text = QString::fromUtf8(testsupport::readFile(path));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Please do not edit this file. \n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\n\n>BeginFields\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("LNAM:Þórsdóttir\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(">EndFields\n")));
    ASSERT_EQ(sink.texts.size(), 1);
    EXPECT_EQ(sink.texts[0], QStringLiteral("The file %1 has been saved.\n\nPlease attach this file to an email and "
                                            "send the email to reg%s@example.com")
                                 .arg(path));

    // A cancelled dialog saves nothing and does not register.
    QFile::remove(path);
    EXPECT_FALSE(RegisterByEmail(*reader->GetWindow(), true, hooks([](const QString&) { return QString(); })));
    EXPECT_FALSE(QFile::exists(path));
}
