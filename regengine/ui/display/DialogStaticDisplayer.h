#pragma once

#include "regengine/core/Displayer.h"

#include <QPointer>
#include <QWidget>

namespace engine {

// Shows the last text written in one item of a dialog (the status line of a progress
// window). Nothing happens without a dialog, with id 0 or when the dialog has no such item.
class DialogStaticDisplayer : public Displayer {
public:
    DialogStaticDisplayer(QWidget* dialog, int itemId, const Clock* clock = nullptr)
        : Displayer(clock), dialog_(dialog), itemId_(itemId)
    {}

    void Clear() override;
    // Replaces the item's text with exactly these characters.
    void Append(QStringView text) override;

private:
    QWidget* Item() const;

    QPointer<QWidget> dialog_;
    int itemId_;
};

}  // namespace engine
