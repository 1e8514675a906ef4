#include "regengine/print/PrintMeView.h"
#include "regengine/print/RegistrationText.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"

#include "tests/support/TestEnvironment.h"
#include "ZxingDecode.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

using namespace engine;

namespace {

constexpr int kDpi = 300;

struct PrintedForm {
    int pages = 0;
    QList<QImage> pageImages;
    QStringList pageTexts;
    QList<RegistrationForm::Placement> placements;
    QString pdf;
};

QString run(const QString& program, const QStringList& args)
{
    const testsupport::RunResult result = testsupport::runProgram(program, args, {}, 60000);
    EXPECT_EQ(result.exitCode, 0) << program.toStdString() << ": " << result.err.toStdString();
    return QString::fromUtf8(result.out);
}

// Prints the form into a PDF as the print dialog's "print to file" would, then reads every
// page back as an image (pdftoppm) and as text (pdftotext).
PrintedForm printForm(FieldList& fields, const QStringList& header, int mode, const QString& name)
{
    PrintedForm printed;
    printed.pdf = QDir(testsupport::sandboxRoot()).filePath(name + ".pdf");
    CPrintMeView view;
    view.SetFieldList(&fields);
    view.SetHeaderLines(header);
    view.SetPrintSetup([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed.pdf);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageMargins(QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch);
        return true;
    });
    EXPECT_TRUE(view.PrintForm(mode));
    printed.placements = view.LastSymbolPlacements();
    const QString prefix = QDir(testsupport::sandboxRoot()).filePath(name);
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-gray"), QStringLiteral("-aaVector"),
         QStringLiteral("no"), QStringLiteral("-png"), printed.pdf, prefix});
    const QStringList pngs =
        QDir(testsupport::sandboxRoot()).entryList({name + QStringLiteral("-*.png")}, QDir::Files, QDir::Name);
    for (const QString& png : pngs)
        printed.pageImages.append(QImage(QDir(testsupport::sandboxRoot()).filePath(png)));
    printed.pages = int(printed.pageImages.size());
    for (int p = 1; p <= printed.pages; ++p)
        printed.pageTexts.append(
            run(QStringLiteral("pdftotext"),
                {QStringLiteral("-f"), QString::number(p), QStringLiteral("-l"), QString::number(p),
                 QStringLiteral("-layout"), printed.pdf, QStringLiteral("-")}));
    return printed;
}

// Every symbol cut out of its page at the place the form reports and read with zxing-cpp;
// the bytes of all of them in order.
QByteArray decodeAll(const PrintedForm& printed)
{
    QByteArray all;
    const double pixelsPerUnit = kDpi / 100.0;
    for (const auto& placement : printed.placements) {
        EXPECT_LT(placement.page, printed.pages);
        if (placement.page >= printed.pages)
            break;
        const QImage& page = printed.pageImages[placement.page];
        // The painter's origin is the printable area's corner, a quarter inch into the sheet.
        const QRectF rect = placement.rect.adjusted(-12, -12, 12, 12);
        const QImage crop = page.copy(QRect(int((rect.x() + 25) * pixelsPerUnit), int((rect.y() + 25) * pixelsPerUnit),
                                            int(rect.width() * pixelsPerUnit), int(rect.height() * pixelsPerUnit)));
        const auto bytes = printtest::decodePdf417(crop);
        EXPECT_TRUE(bytes.has_value()) << "symbol on page " << placement.page;
        if (bytes)
            all += *bytes;
    }
    return all;
}

FieldList recordOfBytes(int n, const QString& filler = QStringLiteral("x"))
{
    // "DATA:" + value + "\t" is the whole bar-code text.
    FieldList fields;
    QString value;
    while (value.toUtf8().size() < n - 6)
        value += filler;
    fields.SetField(FourCC("DATA"), value);
    return fields;
}

}  // namespace

class PrintFormTest : public ::testing::Test {};

// The bar codes read back to the exact record, for records of one or several symbols.
TEST_F(PrintFormTest, EverySymbolDecodesBackToTheRecord)
{
    const struct {
        const char* name;
        FieldList fields;
        int symbols;
    } cases[] = {
        {"six bytes", recordOfBytes(6), 1},
        {"910 bytes, one symbol", recordOfBytes(910), 1},
        {"911 bytes, two side by side", recordOfBytes(911), 2},
        {"2000 bytes", recordOfBytes(2000), 3},
        {"non-ASCII values cut on characters", recordOfBytes(2000, QStringLiteral("Ωé€")), 3},
    };
    int index = 0;
    for (const auto& c : cases) {
        FieldList fields = c.fields;
        for (int mode : {0, 1}) {
            const PrintedForm printed = printForm(fields, {QStringLiteral("Ovex Registration")}, mode,
                                                  QStringLiteral("form%1-%2").arg(index).arg(mode));
            const QByteArray text = BuildRegistrationText(fields);
            EXPECT_EQ(printed.placements.size(), c.symbols) << c.name;
            EXPECT_EQ(decodeAll(printed), text) << c.name << " mode " << mode;
            for (const auto& placement : printed.placements) {
                EXPECT_GE(placement.rect.top(), 0) << c.name;
                EXPECT_LE(placement.rect.bottom(), 1050) << c.name;
            }
        }
        ++index;
    }
}

TEST_F(PrintFormTest, ReadableListAndPrivateFields)
{
    FieldList fields;
    fields.SetField(FourCC("LNAM"), QStringLiteral("Þórsdóttir"));
    fields.SetField(FourCC("FNAM"), QStringLiteral("Anna"));
    fields.SetField(FourCC("_PRV"), QStringLiteral("secret-underscore"));
    fields.SetField(FourCC(";CMT"), QStringLiteral("secret-semicolon"));
    fields.SetField(FourCC("pvPR"), QStringLiteral("secret-lower"));
    fields.SetField(FourCC("ADDR"), QStringLiteral("12345678901234567890123456789012345678901234567890-the-end"));
    const PrintedForm printed = printForm(fields, {}, 0, QStringLiteral("list"));
    ASSERT_EQ(printed.pages, 1);
    const QString& text = printed.pageTexts[0];
    // pdftotext gives the two blanks after the code as one.
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("<LNAM> +Þórsdóttir")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("<FNAM> +Anna"))));
    EXPECT_TRUE(text.contains(QStringLiteral("Receiving is automated so please do not alter this in any way.")));
    EXPECT_TRUE(text.contains(QStringLiteral("the-end"))) << "a long value is printed whole";
    for (const char* secret : {"secret-underscore", "secret-semicolon", "secret-lower"})
        EXPECT_FALSE(text.contains(QLatin1String(secret))) << secret;
    const QByteArray barcode = decodeAll(printed);
    EXPECT_FALSE(barcode.contains("secret"));
    EXPECT_EQ(barcode, BuildRegistrationText(fields));
}

TEST_F(PrintFormTest, MailFacePrintsTheAddressAndMarks)
{
    FieldList fields = recordOfBytes(100);
    const QStringList address = {QStringLiteral("Ovex Registration Center"), QStringLiteral("PO Box 4417"),
                                 QStringLiteral("Springfield, ST 01234")};
    const PrintedForm printed = printForm(fields, address, 1, QStringLiteral("mail"));
    ASSERT_EQ(printed.pages, 1);
    const QString& text = printed.pageTexts[0];
    EXPECT_TRUE(text.contains(QStringLiteral("Please mail to:")));
    for (const QString& line : address)
        EXPECT_TRUE(text.contains(line)) << line.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Fold")));
    EXPECT_TRUE(text.contains(QStringLiteral("Tape")));
    EXPECT_TRUE(text.contains(QStringLiteral("Postage")));
}

// A record longer than a page goes on onto further pages, bar codes and list alike.
TEST_F(PrintFormTest, LongRecordsFlowOntoFurtherPages)
{
    FieldList fields;
    for (int i = 0; i < 260; ++i)
        fields.SetField(FourCC(QStringLiteral("F%1").arg(i, 3, 10, QLatin1Char('0')).toLatin1().constData()),
                        QStringLiteral("value-%1").arg(i));
    const PrintedForm printed = printForm(fields, {}, 1, QStringLiteral("long"));
    ASSERT_GE(printed.pages, 2);
    const QString all = printed.pageTexts.join(QLatin1Char('\n'));
    for (int i = 0; i < 260; ++i)
        ASSERT_TRUE(all.contains(QStringLiteral("value-%1 ").arg(i)) ||
                    all.contains(QStringLiteral("value-%1\n").arg(i)))
            << "field " << i;
    EXPECT_EQ(decodeAll(printed), BuildRegistrationText(fields));
}

TEST_F(PrintFormTest, CancelledPrintDialogPrintsNothing)
{
    FieldList fields = recordOfBytes(50);
    CPrintMeView view;
    EXPECT_EQ(CPrintMeView::LiveView(), &view);
    view.SetFieldList(&fields);
    view.SetPrintSetup([](QPrinter&, QWidget*) { return false; });
    EXPECT_FALSE(view.PrintForm(1));
    EXPECT_TRUE(view.WasPrintCancelled());
}
