#pragma once

#include "regengine/print/RegistrationForm.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class QPrinter;

namespace engine {

class FieldList;
class QmStringList;

// The printed registration form's view: it is given the record and the heading lines and
// prints the fax or mail face through the print dialog, or shows it in a print preview.
// Its window stays hidden; only the printer and the preview show the form.
class CPrintMeView : public QWidget {
    Q_OBJECT
public:
    // Answers the print dialog for a printer: true prints, false is a cancel. The default
    // shows the desktop's print dialog; script-preview and tests answer it themselves.
    using PrintSetup = std::function<bool(QPrinter& printer, QWidget* parent)>;

    explicit CPrintMeView(QWidget* parent = nullptr);
    ~CPrintMeView() override;

    // The view the registration window prints through, or null.
    static CPrintMeView* LiveView();

    // Not owned; the caller clears the list after printing.
    void SetFieldList(FieldList* fields) { fields_ = fields; }
    FieldList* GetFieldList() const { return fields_; }
    // Copied; an empty list prints no heading lines.
    void SetHeaderLines(const QmStringList* lines);
    void SetHeaderLines(const QStringList& lines) { headerLines_ = lines; }

    // Prints the mail form (mode non-zero) or the fax form (0). False when the print dialog
    // was cancelled (WasPrintCancelled) or the form did not reach the printer whole
    // (PrintError says why).
    bool PrintForm(int mode);
    // Shows the form of that mode in the print preview dialog.
    void ShowPrintPreview(int mode);
    bool WasPrintCancelled() const { return printCancelled_ != 0; }
    // Why the last print failed; empty after a print that worked or was cancelled.
    const QString& PrintError() const { return printError_; }

    void SetPrintSetup(PrintSetup setup) { printSetup_ = std::move(setup); }

    // Paints the form on a printer that is set up already; the number of pages, 0 when the
    // printer could not be opened or could not finish the job (PrintError says which).
    int PaintForm(QPrinter& printer);
    // Where the last painted form's symbols went.
    const QList<RegistrationForm::Placement>& LastSymbolPlacements() const { return placements_; }
    bool LastBarcodeTextCapped() const { return capped_; }

private:
    bool OnPreparePrinting(QPrinter& printer);

    FieldList* fields_ = nullptr;
    int formMode_ = 0;
    int printCancelled_ = 0;
    QString printError_;
    QStringList headerLines_;
    PrintSetup printSetup_;
    QList<RegistrationForm::Placement> placements_;
    bool capped_ = false;
};

}  // namespace engine
