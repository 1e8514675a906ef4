#pragma once

#include <QMainWindow>

class CBrevantDoc;

// The main frame. It stays hidden for the whole run; closing it ends the program after
// the document has saved.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CBrevantDoc* document, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CBrevantDoc* document_;
    bool closed_ = false;
};
