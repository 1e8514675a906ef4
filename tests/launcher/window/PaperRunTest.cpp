#include "launcher/app/MainFrame.h"
#include "launcher/registration/PaperRun.h"
#include "launcher/window/RegWind.h"
#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TestEnvironment.h"

#include "regengine/print/PrintMeView.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPrinter>

using namespace engine;
using namespace launcher;

namespace {

const QString kScript = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Caption\n"
    ">SETHEADER PRNM Ovex Kelvo\n"
    ">SETFIELD LNAM Lovelace\n>SETFIELD FNAM Ada\n>SETFIELD _PRV hidden-value\n"
    ">LIST MailHeader\n<PRNM> Registration\nPO Box 1815\n>\n"
    ">LIST FaxHeader\nFax <PRNM>: 555 0100\n>\n"
    ">SETHEADER CITY Header town\n>SETFIELD CITY Page town\n"
    ">LIST order\nSECR\nLNAM\n>\n>OUTPUTORDER order\n");

QString pdfText(const QString& pdf)
{
    const auto result =
        testsupport::runProgram(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_EQ(result.exitCode, 0);
    return QString::fromUtf8(result.out);
}

}  // namespace

TEST(PaperRun, PrintsTheRecordUnderTheScriptsHeadingLines)
{
    auto reader = regwindtest::runScript(kScript);
    RegWind* window = reader->GetWindow();
    window->MarkPrivateField(FourCC("SECR"), true);
    // As a registration does before its run.
    window->BuildPacket();
    CPrintMeView view;
    for (int kind : {1, 0}) {
        const QString pdf = QDir(testsupport::sandboxRoot()).filePath(QStringLiteral("paper%1.pdf").arg(kind));
        bool privateCode = true;
        view.SetPrintSetup([&](QPrinter& printer, QWidget*) {
            privateCode = view.GetFieldList() == nullptr || view.GetFieldList()->Find(FourCC("SECR")) != nullptr;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        ASSERT_TRUE(RegisterOnPaper(*window, kind, &view));
        EXPECT_EQ(view.GetFieldList(), nullptr) << "the record is the run's own";
        const QString text = pdfText(pdf);
        if (kind == 1) {
            EXPECT_TRUE(text.contains(QStringLiteral("Ovex Kelvo Registration"))) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("PO Box 1815")));
        } else {
            EXPECT_TRUE(text.contains(QStringLiteral("Fax Ovex Kelvo: 555 0100"))) << text.toStdString();
        }
        EXPECT_TRUE(text.contains(QStringLiteral("Lovelace")));
        EXPECT_FALSE(text.contains(QStringLiteral("hidden-value")));
        EXPECT_FALSE(privateCode) << "a private code stays out, even when the output order names it";
        EXPECT_TRUE(text.contains(QStringLiteral("Page town"))) << "the user's answer wins over the header";
        EXPECT_FALSE(text.contains(QStringLiteral("Header town")));
        EXPECT_EQ(view.LastSymbolPlacements().size(), 1);
    }
    // The script's own list keeps its tags.
    EXPECT_EQ(*reader->FindList(QStringLiteral("MailHeader"))->GetItem(0), QStringLiteral("<PRNM> Registration"));
}

TEST(PaperRun, NoViewOrACancelIsNotARegistration)
{
    auto reader = regwindtest::runScript(kScript);
    RegWind* window = reader->GetWindow();
    EXPECT_FALSE(RegisterOnPaper(*window, 1, nullptr));
    CPrintMeView view;
    view.SetPrintSetup([](QPrinter&, QWidget*) { return false; });
    EXPECT_FALSE(RegisterOnPaper(*window, 0, &view));
    EXPECT_EQ(view.GetFieldList(), nullptr);
}

// A form that does not reach the printer whole is a failed run the user is told of; a cancel
// stays silent.
TEST(PaperRun, APrintThatFailsIsAFailedRunAndSaysWhy)
{
    auto reader = regwindtest::runScript(kScript);
    RegWind* window = reader->GetWindow();
    testsupport::RecordingSink boxes;
    struct Case {
        const char* name;
        QString output;
        const char* why;
    } cases[] = {
        {"the printer cannot be opened", testsupport::sandboxRoot() + "/no-such-folder/form.pdf",
         "The printer could not be opened"},
        {"the job cannot be finished", QStringLiteral("/dev/full"), "The form could not be written to /dev/full"},
    };
    for (const Case& c : cases) {
        boxes.boxes.clear();
        CPrintMeView view;
        view.SetPrintSetup([&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(c.output);
            return true;
        });
        EXPECT_FALSE(RegisterOnPaper(*window, 1, &view)) << c.name;
        EXPECT_FALSE(view.WasPrintCancelled()) << c.name;
        EXPECT_EQ(view.PrintError(), QString::fromUtf8(c.why)) << c.name;
        ASSERT_EQ(boxes.boxes.size(), 1) << c.name;
        EXPECT_TRUE(boxes.boxes[0].text.contains(QString::fromUtf8(c.why))) << boxes.boxes[0].text.toStdString();
    }
}

// The launcher's frame makes the form's document and view before any script runs; a printed
// run without a view of its own prints through that one.
TEST(PaperRun, TheFramesViewIsTheOneTheRunPrintsThrough)
{
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    ASSERT_NE(frame.GetDocument(), nullptr);
    ASSERT_NE(frame.GetView(), nullptr);
    EXPECT_EQ(CPrintMeView::LiveView(), frame.GetView());
    EXPECT_FALSE(frame.GetView()->isVisible());
    auto reader = regwindtest::runScript(kScript);
    const QString pdf = QDir(testsupport::sandboxRoot()).filePath(QStringLiteral("frame-view.pdf"));
    frame.GetView()->SetPrintSetup([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    ASSERT_TRUE(RegisterOnPaper(*reader->GetWindow(), 1));
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("PO Box 1815")));
}
