// Encoding one 900-byte symbol, ours against zxing-cpp's own PDF417 writer on the same
// bytes, and rendering a two-page form to PDF. Prints figures; not a test.
#include "regengine/print/Pdf417.h"
#include "regengine/print/PrintMeView.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string bytes;
    for (int i = 0; i < 900; ++i)
        bytes.push_back(char('A' + i % 26));
    const int rounds = 2000;

    QElapsedTimer timer;
    timer.start();
    std::size_t sink = 0;
    for (int i = 0; i < rounds; ++i)
        sink += std::size_t(engine::Pdf417EncodeText(bytes.data(), bytes.size(), 10, 89).modules.size());
    const double ours = double(timer.nsecsElapsed()) / rounds / 1000.0;

    ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::PDF417);
    writer.setEccLevel(6);
    timer.restart();
    for (int i = 0; i < rounds; ++i)
        sink += std::size_t(writer.encode(bytes, 0, 0).width());
    const double theirs = double(timer.nsecsElapsed()) / rounds / 1000.0;
    std::printf("encode 900 bytes: ours %.1f us, zxing-cpp writer %.1f us (%zu)\n", ours, theirs, sink);

    engine::FieldList fields;
    for (int i = 0; i < 200; ++i)
        fields.SetField(engine::FourCC(QStringLiteral("F%1").arg(i, 3, 10, QLatin1Char('0')).toLatin1().constData()),
                        QStringLiteral("value number %1").arg(i));
    // An optional folder keeps the PDFs of both faces, to look at.
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    engine::CPrintMeView view;
    view.SetHeaderLines(QStringList{QStringLiteral("Ovex Registration Center"), QStringLiteral("PO Box 4417"),
                                    QStringLiteral("Springfield, ST 01234")});
    view.SetFieldList(&fields);
    view.SetPrintSetup([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder + QStringLiteral("/form-mail.pdf"));
        return true;
    });
    timer.restart();
    view.PrintForm(1);
    const double renderMs = double(timer.nsecsElapsed()) / 1e6;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("form to PDF: %.1f ms, %lld symbols, peak RSS %ld KiB\n", renderMs,
                static_cast<long long>(view.LastSymbolPlacements().size()), usage.ru_maxrss);
    view.SetPrintSetup([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder + QStringLiteral("/form-fax.pdf"));
        return true;
    });
    view.PrintForm(0);

    // With a second argument "preview": the print preview window of the mail face, grabbed
    // into preview.png in that folder once it has painted.
    if (argc > 2 && qstrcmp(argv[2], "preview") == 0) {
        QTimer::singleShot(1500, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                dialog->grab().save(folder + QStringLiteral("/preview.png"));
                dialog->close();
            }
        });
        view.ShowPrintPreview(1);
    }
    return 0;
}
