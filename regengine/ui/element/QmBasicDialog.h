#pragma once

#include "regengine/ui/element/QmWind.h"

#include <QWidget>

namespace engine {

class QmStrStream;

// The base of the registration pages: a child dialog of the registration window that holds
// the page's elements.
class QmBasicDialog : public QWidget, public QmWind {
public:
    // The page line after its keyword: code, rectangle (scaled for the screen) and a number
    // that the page does not use; the rest of the line is left for the page classes.
    QmBasicDialog(QmStrStream& script, QmWind* parent);
    ~QmBasicDialog() override;

    // The page's default button: Return or Enter in any control of the page that does not
    // take the key itself presses it, as a click does, and it wears the default look. An
    // element without a control id is not taken.
    void SetDefaultButton(QmWind* element);
    QmWind* GetDefaultButton() const { return defaultButton_; }
    // The default button again, and the focus on the page's first tab item.
    void FocusFirst();

protected:
    // A Return or Enter no control of the page took: the default button's press.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void MarkDefault();

    QmWind* defaultButton_ = nullptr;
};

}  // namespace engine
