#pragma once

#include "launcher/registration/RegistrationStatus.h"

#include <QPointer>

#include <memory>

class QWidget;

namespace engine {
class StatusDialog;
}

namespace launcher {

// The status window of a registration run: the engine's status dialog over the window,
// its text line the run's displayer, its icons turning while the run waits, and its Cancel
// setting the global cancel flag.
class StatusWindow : public RegistrationStatus {
public:
    static constexpr int kFirstIcon = 2017;
    static constexpr int kLastIcon = 2018;

    explicit StatusWindow(QWidget* window);
    ~StatusWindow() override;

    engine::Displayer* Begin() override;
    void End() override;

    engine::StatusDialog* Dialog() const { return dialog_.get(); }

private:
    QPointer<QWidget> window_;
    std::unique_ptr<engine::StatusDialog> dialog_;
};

}  // namespace launcher
