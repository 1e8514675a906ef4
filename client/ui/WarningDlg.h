#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CWarningDlg;
}

namespace client {

// Shown at start-up on systems older than the program was made for. Continue goes on,
// Exit (or the close box) ends the program; the check box turns the warning off.
class CWarningDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWarningDlg(QWidget* parent = nullptr);
    ~CWarningDlg() override;

    // The check box state once the dialog has ended.
    int dontShowAgain = 0;

    void done(int result) override;

private:
    std::unique_ptr<Ui::CWarningDlg> ui_;
};

}  // namespace client
