// The registration runs through script-preview as a process, each to a real peer: the mail
// run to a recording sendmail, the printed run into a PDF read back by poppler and
// zxing-cpp, the internet run to the Python registration server over verified HTTPS.
#include "tests/peers/Peers.h"
#include "tests/regengine/print/ZxingDecode.h"
#include "tests/support/RecordingSendmail.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>

namespace {

QString fixture(const char* name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/tools/script-preview/fixtures/") +
           QString::fromLatin1(name);
}

testsupport::RunResult preview(const QStringList& args, QProcessEnvironment env = {})
{
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return testsupport::runProgram(testsupport::binaryDir() + QStringLiteral("/tools/script-preview/script-preview"),
                                   args, env);
}

const QStringList kTyped = {QStringLiteral("--set"), QStringLiteral("FNAM=Zoe"), QStringLiteral("--set"),
                            QStringLiteral("LNAM=Quist")};

TEST(RegistrationRunsPreview, ClickingRegisterMailsTheRecordThroughTheNamedSendmail)
{
    testsupport::RecordingSendmail sendmail;
    QProcessEnvironment env;
    env.insert(QStringLiteral("OVEX_SENDMAIL"), sendmail.Program());
    const auto r = preview(QStringList{fixture("email-registration.txt")} + kTyped +
                               QStringList{QStringLiteral("--click"), QStringLiteral("REGB"), QStringLiteral("--tree"),
                                           QStringLiteral("--fields")},
                           env);
    ASSERT_FALSE(r.crashed) << r.err.constData();
    ASSERT_TRUE(sendmail.Ran()) << r.out.constData() << r.err.constData();
    EXPECT_EQ(sendmail.Argv(), "-oi\n--\nregister@ovex.example\n");
    const QByteArray message = sendmail.Message();
    const QByteArray body = message.mid(message.indexOf("\n\n") + 2);
    EXPECT_TRUE(body.contains(">BeginFields\n")) << message.constData();
    EXPECT_TRUE(body.contains(QStringLiteral("FNAM:Zoe\n").toUtf8()));
    EXPECT_TRUE(body.contains("LNAM:Quist\n"));
    EXPECT_TRUE(body.contains("PROD:OVX1\n"));
    EXPECT_TRUE(body.endsWith(">EndFields\n"));
    EXPECT_TRUE(r.out.contains("QmRegPage PG02")) << "the success page is shown";

    // A refused mail leaves the window on its page.
    sendmail.Reset();
    sendmail.SetExitCode(75);
    const auto refused =
        preview(QStringList{fixture("email-registration.txt")} + kTyped +
                    QStringList{QStringLiteral("--click"), QStringLiteral("REGB"), QStringLiteral("--tree")},
                env);
    EXPECT_TRUE(refused.out.contains("Send Mail failed to send message.")) << refused.out.constData();
    EXPECT_TRUE(refused.out.contains("QmRegPage PG01"));
}

TEST(RegistrationRunsPreview, PrintToSendsThePrintedFormToAPdf)
{
    const QString pdf = QDir(testsupport::sandboxRoot()).filePath(QStringLiteral("preview-form.pdf"));
    QFile::remove(pdf);
    const auto r = preview(QStringList{fixture("printed-registration.txt")} + kTyped +
                           QStringList{QStringLiteral("--print-to"), pdf, QStringLiteral("--click"),
                                       QStringLiteral("REGB"), QStringLiteral("--tree")});
    ASSERT_FALSE(r.crashed) << r.err.constData();
    EXPECT_TRUE(r.out.contains("print dialog: OK")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("QmRegPage PG02")) << "the success page is shown";
    ASSERT_TRUE(QFile::exists(pdf)) << r.out.constData() << r.err.constData();

    const auto text =
        testsupport::runProgram(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    const QString page = QString::fromUtf8(text.out);
    EXPECT_TRUE(page.contains(QStringLiteral("Ovex Kelvo Registration"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("PO Box 1815")));
    EXPECT_TRUE(page.contains(QStringLiteral("Quist")));

    // The bar code carries the record.
    const QString prefix = QDir(testsupport::sandboxRoot()).filePath(QStringLiteral("preview-form"));
    testsupport::runProgram(
        QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"), QStringLiteral("-aaVector"),
         QStringLiteral("no"), QStringLiteral("-png"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
         QStringLiteral("1"), pdf, prefix});
    const QStringList pngs =
        QDir(testsupport::sandboxRoot()).entryList({QStringLiteral("preview-form-*.png")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(pngs.isEmpty());
    const auto decoded = printtest::decodePdf417(QImage(QDir(testsupport::sandboxRoot()).filePath(pngs.first())));
    ASSERT_TRUE(decoded.has_value()) << "no symbol read from the page";
    EXPECT_TRUE(decoded->contains(QStringLiteral("FNAM:Zoe").toUtf8())) << decoded->constData();
    EXPECT_TRUE(decoded->contains("LNAM:Quist"));

    // Without --print-to the dialog is cancelled and nothing is registered.
    const auto cancelled =
        preview(QStringList{fixture("printed-registration.txt")} + kTyped +
                QStringList{QStringLiteral("--click"), QStringLiteral("REGB"), QStringLiteral("--tree")});
    EXPECT_TRUE(cancelled.out.contains("print dialog: cancelled")) << cancelled.out.constData();
    EXPECT_TRUE(cancelled.out.contains("QmRegPage PG01"));
}

TEST(RegistrationRunsPreview, ClickingRegisterSendsTheRecordToTheRegistrationServer)
{
    const QString dir = testsupport::sandboxRoot() + QStringLiteral("/preview-registration");
    const testpeers::Certificates certs = testpeers::makeCertificates(dir);
    testpeers::RegistrationServer server(dir, QJsonObject{}, &certs);
    ASSERT_TRUE(server.started());
    QProcessEnvironment env;
    env.insert(QStringLiteral("OVEX_CA_FILE"), certs.caFile);
    env.insert(QStringLiteral("OVEX_PREVIEW_REGISTRATION_SERVER"), QStringLiteral("localhost:%1").arg(server.port()));
    const auto r = preview(QStringList{fixture("internet-registration.txt")} + kTyped +
                               QStringList{QStringLiteral("--click"), QStringLiteral("REGB"), QStringLiteral("--tree"),
                                           QStringLiteral("--fields")},
                           env);
    ASSERT_FALSE(r.crashed) << r.err.constData();

    QJsonArray posts;
    for (const auto& entry : server.received()) {
        if (entry.toObject().value("verb") == QLatin1String("POST"))
            posts.append(entry);
    }
    ASSERT_EQ(posts.size(), 1) << r.out.constData() << r.err.constData();
    EXPECT_EQ(posts[0].toObject().value("method").toString(), "sendRegistration");
    const QJsonArray sent = posts[0].toObject().value("params").toArray();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].toObject().value("text").toString(), "OVX1");
    // The record as the window holds it: --fields prints it a line a field after the tree.
    const QString record = sent[1].toObject().value("text").toString();
    QString fields;
    for (const QString& line : QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith(u' ') && !line.startsWith(QStringLiteral("Qm")))
            fields += line + u'\t';
    }
    // The success page's caption joins the record only after the run.
    fields.remove(QStringLiteral("THNX:Thank you for registering.\t"));
    EXPECT_EQ(record.toStdString(), fields.toStdString());
    EXPECT_TRUE(record.contains(QStringLiteral("FNAM:Zoe\t"))) << record.toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("LNAM:Quist\t")));
    EXPECT_TRUE(record.contains(QStringLiteral("PROD:OVX1\t")));
    EXPECT_TRUE(r.out.contains("QmRegPage PG02")) << "the success page is shown";
}

}  // namespace
