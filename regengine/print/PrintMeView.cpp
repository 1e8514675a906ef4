#include "regengine/print/PrintMeView.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStringList.h"

#include <QFile>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace engine {

namespace {

CPrintMeView* g_liveView = nullptr;

// A form written to a file is whole only when the file ends as a PDF ends: the print engine
// reports no failed write, so a full disk or a broken device shows only here.
bool outputFileComplete(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16 || !file.seek(file.size() - 16))
        return false;
    return file.read(16).trimmed().endsWith("%%EOF");
}

bool askWithPrintDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

CPrintMeView::CPrintMeView(QWidget* parent) : QWidget(parent), printSetup_(askWithPrintDialog)
{
    setVisible(false);
    g_liveView = this;
}

CPrintMeView::~CPrintMeView()
{
    if (g_liveView == this)
        g_liveView = nullptr;
}

CPrintMeView* CPrintMeView::LiveView()
{
    return g_liveView;
}

void CPrintMeView::SetHeaderLines(const QmStringList* lines)
{
    headerLines_.clear();
    if (lines == nullptr)
        return;
    for (int i = 0; i < lines->GetCount(); ++i) {
        if (const QString* line = lines->GetItem(i))
            headerLines_.append(*line);
    }
}

bool CPrintMeView::OnPreparePrinting(QPrinter& printer)
{
    printCancelled_ = printSetup_ && printSetup_(printer, parentWidget()) ? 0 : 1;
    return printCancelled_ == 0;
}

bool CPrintMeView::PrintForm(int mode)
{
    formMode_ = mode;
    printError_.clear();
    QPrinter printer(QPrinter::HighResolution);
    if (!OnPreparePrinting(printer)) {
        EngineTrace(QStringLiteral("Printing cancelled"));
        return false;
    }
    return PaintForm(printer) > 0;
}

void CPrintMeView::ShowPrintPreview(int mode)
{
    formMode_ = mode;
    QPrintPreviewDialog preview(parentWidget());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) { PaintForm(*printer); });
    preview.exec();
}

int CPrintMeView::PaintForm(QPrinter& printer)
{
    printError_.clear();
    const auto fail = [this](const QString& why) {
        printError_ = why;
        EngineTrace(why);
        return 0;
    };
    QPainter painter;
    if (!painter.begin(&printer))
        return fail(QStringLiteral("The printer could not be opened"));
    RegistrationForm form(fields_, headerLines_, formMode_ != 0);
    const int pages = form.Paint(painter, printer);
    const bool ended = painter.end();
    placements_ = form.SymbolPlacements();
    capped_ = form.BarcodeTextCapped();
    if (pages <= 0)
        return fail(QStringLiteral("The form could not be painted"));
    if (!ended || printer.printerState() == QPrinter::Error)
        return fail(QStringLiteral("The printer could not finish the form"));
    if (!printer.outputFileName().isEmpty() && !outputFileComplete(printer.outputFileName()))
        return fail(QStringLiteral("The form could not be written to %1").arg(printer.outputFileName()));
    return pages;
}

}  // namespace engine
