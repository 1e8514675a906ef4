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
};

}  // namespace engine
