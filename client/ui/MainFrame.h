#pragma once

#include <QMainWindow>

class CBrevantDoc;
class QAction;

// The main frame: menu, toolbar and status bar. It stays hidden for the whole run;
// closing it ends the program after the document has saved. F5 reaches the check from
// wherever the action is added (the view adds it to the message window).
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CBrevantDoc* document, QWidget* parent = nullptr);

    // "Check for New &Messages\tF5"; the view adds it to the message window as well, so
    // F5 works where the user is.
    QAction* CheckAction() const { return checkAction_; }
    QAction* ImportAction() const { return importAction_; }

    // True once the close has been carried out: document saved, quit posted.
    bool IsClosed() const { return closed_; }

signals:
    void checkForMessagesRequested();
    void importRegistrationRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateBars();

    CBrevantDoc* document_;
    QAction* checkAction_ = nullptr;
    QAction* importAction_ = nullptr;
    bool closed_ = false;
    bool barsMade_ = false;
};
