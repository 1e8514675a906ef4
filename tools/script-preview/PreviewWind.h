#pragma once

#include "launcher/window/OvexVaskStubRegWind.h"

#include <memory>

class QDialog;

namespace engine {
class StatusDialog;
}

namespace preview {

// The preview's registration window: the product's window, plus two commands that open the
// engine's dialogs from a page, so an author can see them without a registration run.
class PreviewWind : public launcher::OvexVaskStubRegWind {
public:
    // The register-later dialog, run as the window's command 811 runs it: the window's
    // product, reminder key and language, its answer stored and acted on.
    static constexpr int kOpenRegisterLater = 9001;
    // The status window of a modem or internet run, over the disabled window.
    static constexpr int kOpenStatus = 9002;

    explicit PreviewWind(engine::QmStrStream& script);
    ~PreviewWind() override;

    int OnNotify(engine::QmWind* source, int code, int value) override;
    // The status window the preview opened, while it is shown.
    QDialog* OpenDialog() const;

private:
    void OpenStatus();

    std::unique_ptr<engine::StatusDialog> status_;
};

std::unique_ptr<launcher::RegWind> CreatePreviewWind(engine::QmStrStream& script);

}  // namespace preview
