#pragma once

#include <QMainWindow>

class QAction;

namespace client {

class CBrevantDoc;

// The main frame: menu, toolbar and status bar. It stays hidden for the whole run;
// closing it ends the program after the document has saved. Its commands go out as
// signals, which the application connects to the view. F5 reaches the check from wherever
// the action is added (the message window has it too).
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CBrevantDoc* document, QWidget* parent = nullptr);

    // "Check for New &Messages\tF5"; the message window gets it as well, so F5 works
    // where the user is.
    QAction* CheckAction() const { return checkAction_; }
    QAction* ImportAction() const { return importAction_; }

    // True once the close has been carried out: document saved, quit posted.
    bool IsClosed() const { return closed_; }

    // While set (a check waits for the service, and the document must outlive it), a
    // close is not carried out but reported through closeDeferred().
    void SetCloseDeferred(bool deferred) { closeDeferred_ = deferred; }

signals:
    void checkForMessagesRequested();
    void importRegistrationRequested();
    // A close came while deferred; it is to be asked again once that is over.
    void closeDeferred();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateBars();

    CBrevantDoc* document_;
    QAction* checkAction_ = nullptr;
    QAction* importAction_ = nullptr;
    bool closed_ = false;
    bool closeDeferred_ = false;
    bool barsMade_ = false;
};

}  // namespace client
