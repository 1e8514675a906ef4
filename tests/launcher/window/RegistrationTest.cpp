// The registration window's runs: the method table (each run to a real peer: a recording
// sendmail, a PDF printer) and the backup method, "RegStatus", the
// hex text of the thank-you address, the prefs file, and the internet run end to end against
// the Python registration server over HTTPS.
#include "launcher/registration/RegistrationMethods.h"
#include "launcher/registration/RegistrationStatus.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"
#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/peers/Peers.h"
#include "tests/support/RecordingSendmail.h"
#include "tests/support/TestEnvironment.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/Clock.h"
#include "regengine/core/Displayer.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/RegFile.h"
#include "regengine/print/PrintMeView.h"
#include "regengine/transport/InetLoader.h"

#include "platform/mail/Mail.h"

#include "platform/ui/Ui.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTimer>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdlib>

using namespace engine;
using namespace launcher;

namespace {

using regwindtest::runScript;

const QString kWind = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Window caption\n"
    ">SETHEADER PRNM Ovex Kelvo\n");
const QString kPage = QStringLiteral(">PAGE PG00 0 0 100 100 0 Page\n>EDIT FNAM 0\n>EDIT LNAM 0\n");

// A wall clock stopped at one moment.
class FixedClock final : public Clock {
public:
    explicit FixedClock(qint64 now) : now_(now) {}
    qint64 MonotonicMs() const override { return 0; }
    qint64 CurrentTime() const override { return now_; }
    void SleepMs(qint64) const override {}

private:
    qint64 now_;
};

// Answers each box with one button and keeps what it said.
class Answering final : public platform::MessageSink {
public:
    explicit Answering(int answer) : answer_(answer) { platform::setMessageSink(this); }
    ~Answering() override { platform::setMessageSink(nullptr); }
    int messageBox(const QString& text, const QString& caption, unsigned) override
    {
        boxes << caption + u'|' + text;
        return answer_;
    }
    void beep(unsigned) override {}
    QStringList boxes;

private:
    int answer_;
};

class Lines final : public Displayer {
public:
    void Clear() override { text.clear(); }
    void Append(QStringView t) override { text += t; }
    QString text;
};

// The status window as the run sees it.
class RecordingStatus final : public RegistrationStatus {
public:
    Displayer* Begin() override
    {
        ++begun;
        return &lines;
    }
    void End() override { ++ended; }
    Lines lines;
    int begun = 0;
    int ended = 0;
};

// 2026-03-07 09:05:30 UTC; the test binary runs with TZ=UTC.
constexpr qint64 kMoment = 1772874330;

QString regStatus()
{
    const std::optional<platform::RegValue> value = EngineRegistryValue(QStringLiteral("RegStatus"));
    return value ? value->text : QString();
}

TEST(Registration, MethodsByTheirTextWithTheBackupMethod)
{
    struct Case {
        const char* name;
        const char* method;  // the page field ";MTH"
        const char* backup;  // BACKUPREGMETHOD; "" none
        int answer;          // to the backup question
        bool cancelled;
        bool ok;
        char letter;
        int boxes;
        int sendmailExit = 0;     // of the recording sendmail the e-mail run mails through
        bool printed = true;      // the print dialog's answer
        const char* face = "";    // a line of the heading the printed form must carry
        const char* output = "";  // where the form is printed to; "" a PDF file of the test's
    };
    const Case cases[] = {
        {"web registration counts as done", ";WEB", "", platform::id::Yes, false, true, 'F', 0},
        {"modem is not available", ";MDR", "", platform::id::Yes, false, false, 'F', 0},
        {"e-mail mails the record", ";EMR", "", platform::id::Yes, false, true, 'E', 0},
        {"a refused mail is no registration", ";EMR", "", platform::id::Yes, false, false, 'F', 2, 75},
        {"the mail form is printed", ";BRR", "", platform::id::Yes, false, true, 'B', 0, 0, true, "PO Box 1815"},
        {"the fax form is printed", ";FMR", "", platform::id::Yes, false, true, 'X', 0, 0, true, "Fax 555 0100"},
        {"a cancelled print is no registration", ";BRR", "", platform::id::Yes, false, false, 'F', 0, 0, false},
        {"a printer that cannot finish is no registration", ";BRR", "", platform::id::Yes, false, false, 'F', 1, 0,
         true, "", "/dev/full"},
        {"no method is the modem", "", "", platform::id::Yes, false, false, 'F', 0},
        {"lower case is refused, not sent by modem", ";web", "", platform::id::Yes, false, false, 'F', 1},
        {"a misspelling is refused", ";RCP", "", platform::id::Yes, false, false, 'F', 1},
        {"the backup is offered and taken", ";MDR", ";WEB", platform::id::Yes, false, true, 'F', 1},
        {"the backup is offered and declined", ";MDR", ";WEB", platform::id::No, false, false, 'F', 1},
        {"the backup after a failed print", ";FMR", ";EMR", platform::id::Yes, false, true, 'E', 1, 0, false},
        {"no backup question after a cancel", ";FMR", ";WEB", platform::id::Yes, true, false, 'F', 0, 0, false},
        {"no backup question for the same method", ";MDR", ";MDR", platform::id::Yes, false, false, 'F', 0},
    };
    const QString pdf = QDir(testsupport::sandboxRoot()).filePath(QStringLiteral("dispatch.pdf"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::RecordingSendmail sendmail;
        if (c.sendmailExit != 0)
            sendmail.SetExitCode(c.sendmailExit);
        QFile::remove(pdf);
        QString script =
            QStringLiteral(">STRINGTABLE RGFL ENGL\n1 Not registered\n2 Try the web instead (100%s %n sure)?\n") +
            kWind;
        script += QStringLiteral(
                      ">SETFIELD ;MTH %1\n>SETMAIL MAPI register@example.com\n"
                      ">LIST MailHeader\nPO Box 1815\n>\n>LIST FaxHeader\nFax 555 0100\n>\n")
                      .arg(QString::fromUtf8(c.method));
        if (*c.backup)
            script += QStringLiteral(">BACKUPREGMETHOD %1\n").arg(QString::fromUtf8(c.backup));
        auto reader = runScript(script + kPage);
        RegWind* window = reader->GetWindow();
        ASSERT_NE(window, nullptr);
        EmailRunHooks mail;
        mail.mailLibrary = {QStringLiteral(OVEX_MAIL_LIBRARY_DIR "/" OVEX_MAIL_LIBRARY_NAME)};
        mail.chooseFile = [](const QString&) {
            ADD_FAILURE() << "the mail went by sendmail, no file is saved";
            return QString();
        };
        window->GetRegistration().SetEmailHooks(mail);
        CPrintMeView view;
        view.SetPrintSetup([&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(*c.output ? QString::fromUtf8(c.output) : pdf);
            return c.printed;
        });
        window->GetRegistration().SetPrintView(&view);
        Answering sink(c.answer);
        FixedClock clock(kMoment);
        window->GetRegistration().SetClock(&clock);
        SetCancelFlag(c.cancelled ? 1 : 0);
        QChar letter;
        EXPECT_EQ(window->GetRegistration().Register(QString(), letter), c.ok);
        SetCancelFlag(0);
        EXPECT_EQ(letter, QChar(c.letter));
        EXPECT_EQ(sink.boxes.size(), c.boxes) << sink.boxes.join("\n").toStdString();
        if (*c.backup && c.boxes == 1) {
            // A table's text is shown as it is, never used as a format.
            EXPECT_EQ(sink.boxes.value(0), "Not registered|Try the web instead (100%s %n sure)?");
        } else if (c.boxes == 1 && *c.output) {
            EXPECT_TRUE(sink.boxes.value(0).contains("was not printed: The form could not be written to /dev/full"))
                << sink.boxes.value(0).toStdString();
        } else if (c.boxes == 1) {
            EXPECT_TRUE(sink.boxes.value(0).contains(QString::fromUtf8(c.method))) << sink.boxes.value(0).toStdString();
        }
        EXPECT_EQ(regStatus(), QStringLiteral("%1 2603070905").arg(QChar(c.letter)));
        // Only the chosen run's transport was used.
        const bool mailed = c.letter == 'E' || (c.sendmailExit != 0);
        EXPECT_EQ(sendmail.Ran(), mailed);
        if (c.letter == 'E') {
            EXPECT_TRUE(sendmail.Message().contains(">BeginFields\n")) << sendmail.Message().toStdString();
        }
        if (*c.face) {
            const auto text = testsupport::runProgram(QStringLiteral("pdftotext"),
                                                      {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            EXPECT_TRUE(QString::fromUtf8(text.out).contains(QString::fromUtf8(c.face))) << text.out.toStdString();
        }
    }
}

TEST(Registration, RegStatusIsTheLetterAndTwoDigitsOfEachPart)
{
    EXPECT_EQ(RegStatusText(u'E', kMoment), "E 2603070905");
    // 2009-01-02 03:04 UTC: every part below ten keeps its leading zero.
    EXPECT_EQ(RegStatusText(u'R', 1230865440), "R 0901020304");
    EXPECT_EQ(RegStatusText(u'N', 946684799), "N 9912312359");
}

TEST(Registration, EncodeFieldsHexVectors)
{
    FieldList page;
    page.SetField(FourCC("FNAM"), "Ab");
    page.SetField(FourCC("LNAM"), "Zy");
    const QString key = QStringLiteral("qmvotrazelpinkuwsb");
    struct Case {
        const char* name;
        int count;
        const char* codes;
        const char* expected;
    };
    const Case cases[] = {
        // 'A'^'q' 30, 'b'^'m' 0f, blanks ^ 'v' 56 and ^ 'o' 4f; 65 + 2*98 + 3*32 + 4*32 = 0x1E5.
        {"one code, padded with blanks", 4, "FNAM", "300f564f01E5"},
        {"two codes in order, an absent one adds nothing", 4, "FNAM XTRA LNAM", "300f2c1603F7"},
        {"the whole key", 18, "FNAM", "300f564f5452415a454c50494e4b555753421605"},
        {"a count of 0", 0, "FNAM", ""},
        {"codes shorter than a code", 2, "FNA", ""},
        {"more than the key", 19, "FNAM", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RegistrationMethods::EncodeFieldsHex(c.count, QString::fromUtf8(c.codes), key, page),
                  QString::fromUtf8(c.expected));
    }
}

TEST(Registration, PrefsAreReadAtConstructionAndSavedAfterARun)
{
    {
        RegFile earlier;
        earlier.GetFieldList().SetField(FourCC("FNAM"), "Kept from before");
        ASSERT_TRUE(earlier.Save());
    }
    auto reader = runScript(kWind + QStringLiteral(">SETFIELD ;MTH ;WEB\n>SETHEADER itcd K\n") + kPage);
    RegWind* window = reader->GetWindow();
    EXPECT_EQ(window->GetList(RegWind::InitialValues)->GetField(FourCC("FNAM")), "Kept from before");
    EXPECT_EQ(regwindtest::editOf(*window, "FNAM")->text(), "Kept from before");
    regwindtest::editOf(*window, "LNAM")->setText("Nowak");
    window->CollectPageFields(false);
    window->GetList(RegWind::InitialValues)->SetField(FourCC("LNAM"), "Nowak");

    QChar letter;
    ASSERT_TRUE(window->GetRegistration().Register(QString(), letter));
    window->GetRegistration().OnRegistered();
    window->GetRegistration().SavePrefs();

    RegFile saved;
    saved.ReadExistingFields();
    EXPECT_EQ(saved.GetFieldList().GetField(FourCC("FNAM")), "Kept from before");
    EXPECT_EQ(saved.GetFieldList().GetField(FourCC("LNAM")), "Nowak");
    FieldList* product = saved.GetProductList(FourCC("OVEX"), FourCC("OVX1"));
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(product->GetField(FourCC("PRNM")), "Ovex Kelvo");
    EXPECT_EQ(product->GetField(FourCC("rgit")), "K");
}

TEST(Registration, KeepPrefsReadsAndWritesNoPrefsFile)
{
    auto reader = runScript(QStringLiteral(">WIND HOLD 0 0 200 100 0x00020200 Window caption\n") + kPage);
    EXPECT_EQ(reader->GetWindow()->GetPrefsFile(), nullptr);
}

TEST(Registration, EnableConstraintByItsExactName)
{
    auto reader = runScript(kWind + QStringLiteral(">CONSTRAINT Phone 0 0 20\n") + kPage);
    RegWind* window = reader->GetWindow();
    Constraint* phone = Constraint::Find("Phone");
    ASSERT_NE(phone, nullptr);
    EXPECT_TRUE(window->EnableConstraint("Phone", true));
    EXPECT_TRUE(phone->GetFlags() & ConstraintFlag::Required);
    EXPECT_TRUE(window->EnableConstraint("Phone", false));
    EXPECT_FALSE(phone->GetFlags() & ConstraintFlag::Required);
    EXPECT_FALSE(window->EnableConstraint("phone", true));
}

// The whole internet run through the window against the local server.
class InternetRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "OVEX_CA_FILE"})
            ::unsetenv(name);
        dir_ = testsupport::sandboxRoot() + "/registration";
        certs_ = testpeers::makeCertificates(dir_);
        ::setenv("OVEX_CA_FILE", certs_.caFile.toUtf8().constData(), 1);
        ASSERT_TRUE(loader_.Load());
    }
    void TearDown() override { SetCancelFlag(0); }

    // Registers by internet with the server's `methods`; the record goes where the script's
    // redirect document says.
    std::unique_ptr<ScriptReader> Run(const QJsonObject& methods, bool& ok, QChar& letter)
    {
        secure_ = std::make_unique<testpeers::RegistrationServer>(dir_, methods, &certs_);
        const QString target = "https://localhost:" + QString::number(secure_->port()) + "/veldora/reg";
        QJsonObject redirect{{"body", target}};
        if (cancelDuringRedirect_)
            redirect.insert("delay", 60);
        plain_ = std::make_unique<testpeers::RegistrationServer>(
            dir_, QJsonObject{{"documents", QJsonObject{{"/reg.rpc", redirect}}}});
        EXPECT_TRUE(secure_->started() && plain_->started());
        const QString script =
            kWind +
            QStringLiteral(
                ">SETFIELD ;MTH ;RPC\n>SETFIELD FNAM Zoë\n>SETFIELD _PIN 1234\n"
                ">SETHEADER itcd K\n>RPCREDIRECTLOC http://127.0.0.1:%1/reg.rpc\n"
                ">GENUNIQUEREGID 4 FNAM\n"
                ">LIST thankyouURLs\n%2\n")
                .arg(plain_->port())
                .arg(thankYou_.isEmpty() ? QStringLiteral("https://www.ovex.example/thanks?id=%u&n=<FNAM>")
                                         : thankYou_.arg(plain_->port())) +
            kPage;
        auto reader = runScript(script);
        RegWind* window = reader->GetWindow();
        RegistrationEndpoints endpoints;
        endpoints.redirectUrl = "http://127.0.0.1:1/none.rpc";
        endpoints.fallbackUrl = "https://localhost:1/xmlrpc";
        window->GetRegistration().SetInternet(&loader_, endpoints);
        window->GetRegistration().SetStatus(&status_);
        FixedClock clock(kMoment);
        window->GetRegistration().SetClock(&clock);
        window->MarkPrivateField(FourCC("LNAM"), true);
        window->SetFieldByKind(u'U', FourCC("LNAM"), "Private");
        window->SetMapValue("sysinfo", "CPU: 8 cores");
        // The user cancels once the redirect document has been asked for, while its answer
        // is still to come.
        QTimer cancel;
        QObject::connect(&cancel, &QTimer::timeout, [this] {
            for (const auto& entry : plain_->received()) {
                if (entry.toObject().value("verb") == QLatin1String("GET"))
                    SetCancelFlag(1);
            }
        });
        if (cancelDuringRedirect_)
            cancel.start(10);
        ok = window->GetRegistration().Register(QString(), letter);
        cancel.stop();
        window->GetRegistration().SetClock(nullptr);
        return reader;
    }

    QString dir_;
    testpeers::Certificates certs_;
    InetLoader loader_{{QStringLiteral(OVEX_INET_LIBRARY_DIR "/" OVEX_INET_LIBRARY_NAME)}};
    std::unique_ptr<testpeers::RegistrationServer> secure_;
    std::unique_ptr<testpeers::RegistrationServer> plain_;
    RecordingStatus status_;
    regwindtest::RecordingOpener opener_;
    bool cancelDuringRedirect_ = false;
    // The thank-you address, "%1" the plain server's port; empty: an https one.
    QString thankYou_;
};

TEST_F(InternetRun, TheRecordTheTokenAndTheUploadReachTheServer)
{
    bool ok = false;
    QChar letter;
    auto reader = Run({}, ok, letter);
    RegWind* window = reader->GetWindow();
    ASSERT_TRUE(ok) << status_.lines.text.toStdString();
    EXPECT_EQ(letter, u'R');
    EXPECT_EQ(regStatus(), "R 2603070905");
    EXPECT_EQ(status_.begun, 1);
    EXPECT_EQ(status_.ended, 1);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(
        status_.lines.text.contains("Sending your information.\r\nReceiving information.\r\n"
                                    "Registration sent...closing connection.\r\n\r\n"))
        << status_.lines.text.toStdString();

    QJsonArray posts;
    for (const auto& entry : secure_->received()) {
        if (entry.toObject().value("verb") == QLatin1String("POST"))
            posts.append(entry);
    }
    ASSERT_EQ(posts.size(), 3);
    EXPECT_EQ(posts[0].toObject().value("method").toString(), "generateRegToken");
    EXPECT_EQ(posts[0].toObject().value("params").toArray(), QJsonArray{"OVX1"});
    const QJsonArray sent = posts[1].toObject().value("params").toArray();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].toObject().value("text").toString(), "OVX1");
    const QString record = sent[1].toObject().value("text").toString();
    EXPECT_EQ(record, window->FieldsText(u'\t', RegWind::kLeaveOutPrivate) + "URID:tok-1\t");
    EXPECT_TRUE(record.contains(QStringLiteral("FNAM:Zoë\t")));
    EXPECT_TRUE(record.contains("PROD:OVX1\t"));
    EXPECT_FALSE(record.contains("LNAM")) << "a private code left the machine";
    EXPECT_FALSE(record.contains("_PIN"));
    const QJsonArray upload = posts[2].toObject().value("params").toArray();
    ASSERT_EQ(upload.size(), 4);
    EXPECT_EQ(upload[1].toObject().value("text").toString(), "tok-1");
    EXPECT_EQ(upload[2].toString(), "sysinfo");
    EXPECT_EQ(upload[3].toObject().value("text").toString(), "CPU: 8 cores");

    // The thank-you page: the hex text at "%u" (with the character after it), tags encoded.
    ASSERT_EQ(opener_.opened.size(), 1);
    const QString hex =
        RegistrationMethods::EncodeFieldsHex(4, "FNAM", "qmvotrazelpinkuwsb", *window->GetList(RegWind::PageFields));
    EXPECT_EQ(opener_.opened[0].toString(QUrl::FullyEncoded),
              "https://www.ovex.example/thanks?id=" + hex + "n=Zo%C3%AB");
}

TEST_F(InternetRun, AFaultFailsTheRunAndOffersNoSuccess)
{
    bool ok = true;
    QChar letter;
    auto reader = Run(QJsonObject{{"sendRegistration", QJsonObject{{"fault", QJsonArray{7, "Closed"}}}}}, ok, letter);
    EXPECT_FALSE(ok);
    EXPECT_EQ(letter, u'F');
    EXPECT_EQ(regStatus(), "F 2603070905");
    EXPECT_EQ(status_.ended, 1);
    EXPECT_TRUE(reader->GetWindow()->isEnabled());
    EXPECT_TRUE(opener_.opened.isEmpty());
}

// The thank-you address carries the record (hex at "%u", tags) only over https; a plain-http
// one opens without it.
TEST_F(InternetRun, TheThankYouPageGetsTheRecordOnlyOverHttps)
{
    thankYou_ = QStringLiteral("http://127.0.0.1:%1/thanks?id=%u&n=<FNAM>&p=<PROD>");
    bool ok = false;
    QChar letter;
    auto reader = Run({}, ok, letter);
    ASSERT_TRUE(ok);
    ASSERT_EQ(opener_.opened.size(), 1);
    EXPECT_EQ(opener_.opened[0].toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:%1/thanks?id=n=&p=").arg(plain_->port()));
}

// A cancel while the redirect document is on its way: no error text, nothing sent, and the
// run ends as cancelled.
TEST_F(InternetRun, ACancelDuringTheRedirectFetchShowsNoErrorText)
{
    cancelDuringRedirect_ = true;
    bool ok = true;
    QChar letter;
    auto reader = Run({}, ok, letter);
    EXPECT_FALSE(ok);
    EXPECT_EQ(CancelFlag(), 1) << "the cancel is kept for the caller: no backup method is offered";
    EXPECT_EQ(letter, u'F');
    EXPECT_EQ(regStatus(), "F 2603070905");
    EXPECT_FALSE(status_.lines.text.contains("Unable")) << status_.lines.text.toStdString();
    EXPECT_FALSE(status_.lines.text.contains("Bad URL")) << status_.lines.text.toStdString();
    EXPECT_EQ(status_.ended, 1);
    EXPECT_TRUE(reader->GetWindow()->isEnabled());
    EXPECT_TRUE(secure_->received().isEmpty()) << "nothing reached the server";
    EXPECT_TRUE(opener_.opened.isEmpty());
}

}  // namespace
