#pragma once

#include "regengine/ui/element/QmWind.h"

namespace engine {

class QmStrStream;

// A value without a window (DATAHOLDER): a field of the page the user never sees. It is
// always valid and the window-text operations leave its value alone.
class QmDataHolder : public QmWind {
public:
    // The rest of the line: code and the value up to the line end ("_" for none).
    QmDataHolder(QmStrStream& script, QmWind* parent);

    // Sets the value; no attachment event.
    void SetTextNotify(const QString& text) override;
    QString GetValue() const override;
    bool Validate() override;

private:
    QString value_;
};

}  // namespace engine
