#pragma once

#include <QWidget>

#include <memory>

class QButtonGroup;
namespace Ui {
class CGeneralSettings;
}

namespace client {

// The sheet's first page: the new-message sound and how often the scheduled check runs.
// The values go to the controls when the page is first shown and come back on OK.
class CGeneralSettings : public QWidget {
    Q_OBJECT
public:
    explicit CGeneralSettings(QWidget* parent = nullptr);
    ~CGeneralSettings() override;

    // The sheet's OK: takes the controls' values when the page was ever shown.
    void OnOK();
    bool IsInitialised() const { return initialised_; }

    int playSound = 0;
    // 0 daily, 1 weekly, 2 monthly; another value (3, manual) checks no radio button.
    int frequency = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();

    std::unique_ptr<Ui::CGeneralSettings> ui_;
    QButtonGroup* frequencyButtons_;
    bool initialised_ = false;
};

}  // namespace client
