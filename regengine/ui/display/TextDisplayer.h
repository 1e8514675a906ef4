#pragma once

#include "regengine/core/Displayer.h"

#include <QPointer>
#include <QWidget>

namespace engine {

// Writes into an edit control: a dialog's item when both dialog and item id are set, else
// the target window. Texts are appended at the end and scrolled into view. A target that
// is destroyed is simply no longer written to.
class TextDisplayer : public Displayer {
public:
    explicit TextDisplayer(const Clock* clock = nullptr) : Displayer(clock) {}

    void Clear() override;
    void Append(QStringView text) override;

    void SetDialogItem(QWidget* dialog, qint16 id);
    void SetWindow(QWidget* window) { window_ = window; }
    QWidget* GetWindow() const { return window_; }

private:
    QWidget* Target() const;

    QPointer<QWidget> window_;
    QPointer<QWidget> dialog_;
    qint16 itemId_ = 0;
};

}  // namespace engine
