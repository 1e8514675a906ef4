#pragma once

#include "regengine/ui/controls/QmEdit.h"

#include <memory>

namespace engine {

class KeyFilter;

// An edit with a fixed input pattern (MASKEDIT), given by a mask constraint. It handles
// every character itself, key by key through the key filter: typing overwrites the position
// at the caret and steps over the pattern's literals, Backspace and Delete put the picture
// back. Pasted, dropped and input-method text is typed the same way. Without a mask it
// takes no input at all.
class QmMaskEdit : public QmEdit {
public:
    QmMaskEdit(QmStrStream& script, QmWind* parent, quint32 extraStyle);
    ~QmMaskEdit() override;

    // Only a mask constraint is taken; it replaces the key filter.
    void SetConstraint(Constraint* constraint) override;
    // A text longer than the mask is cut and an empty one shows the picture.
    void SetTextNotify(const QString& text) override;
    // With the constraint's flag 0x20000 the untouched picture reads as empty.
    QString GetValue() const override;

    bool KeyPressed(QKeyEvent* event) override;
    bool AllowsFreeEditing() const override { return false; }
    const KeyFilter* GetKeyFilter() const { return filter_.get(); }

protected:
    void TypeChar(QChar c) override;

private:
    std::unique_ptr<KeyFilter> filter_;
};

}  // namespace engine
