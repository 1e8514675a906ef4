#include "regengine/print/PrintMeView.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStringList.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace engine {

namespace {

CPrintMeView* g_liveView = nullptr;

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
    QPainter painter;
    if (!painter.begin(&printer)) {
        EngineTrace(QStringLiteral("The printer could not be opened"));
        return 0;
    }
    RegistrationForm form(fields_, headerLines_, formMode_ != 0);
    const int pages = form.Paint(painter, printer);
    painter.end();
    placements_ = form.SymbolPlacements();
    capped_ = form.BarcodeTextCapped();
    return pages;
}

}  // namespace engine
