#pragma once

#include "launcher/update/ResUpdateWorker.h"

#include "regengine/core/FieldList.h"

#include <QDialog>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace launcher {

class RegWind;

// "Checking for Updates": the worker's status line and progress, Cancel while it works and
// OK once it is done. A downloaded script is run on the window at once.
class ResUpdateDialog : public QDialog {
public:
    // Item ids of the dialog, as object names.
    static constexpr int kStatusItem = 1022;
    static constexpr int kProgressItem = 1021;

    ResUpdateDialog(RegWind& window, engine::FieldList fields, ResUpdateWorker::Config config,
                    QWidget* parent = nullptr);
    ~ResUpdateDialog() override;

    // The worker's messages.
    void OnStatus();
    void OnShowOk();
    void OnDone();
    void ApplyUpdate();
    // Cancel: status 15, the worker told to stop, the dialog ends.
    void reject() override;

    QLabel* StatusLabel() const { return status_; }
    QProgressBar* ProgressBar() const { return progress_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    const engine::FieldList& Fields() const { return fields_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnMessage(int message);
    void LetGo();

    RegWind& window_;
    engine::FieldList fields_;
    std::shared_ptr<ResUpdateWorker> worker_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool started_ = false;
};

}  // namespace launcher
