#pragma once

#include <QUrl>
#include <QWidget>

#include <memory>

namespace Ui {
class CHelpTab;
}

namespace client {

// The sheet's help page: opens the maker's FAQ and privacy pages in the user's browser.
class CHelpTab : public QWidget {
    Q_OBJECT
public:
    explicit CHelpTab(QWidget* parent = nullptr);
    ~CHelpTab() override;

    static QUrl FaqUrl();
    static QUrl PrivacyUrl();

private:
    std::unique_ptr<Ui::CHelpTab> ui_;
};

}  // namespace client
