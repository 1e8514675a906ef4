#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace client {

// The about page: the program's icon and version. It has no behaviour of its own.
class CAboutDlg : public QWidget {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};

}  // namespace client
