#pragma once

#include "regengine/ui/element/QmWind.h"

#include <QWidget>

namespace engine {

class QmStrStream;

// A plain child window of a page: the base of the groups, the horizontal rule, the date
// field and the country dialer. Its widget is a child of the parent element's window.
class QmBasicWindow : public QWidget, public QmWind {
public:
    explicit QmBasicWindow(QmWind* parent);
    ~QmBasicWindow() override;

    // The interpreter calls it at ENDGROUP on the group that ENDGROUP closes; nothing here.
    virtual void CloseGroup();

protected:
    // The start of a child window's line: code, rectangle (scaled for the screen) and the
    // decimal control id. The window is placed and shown.
    void ReadWindowLine(QmStrStream& script);
};

}  // namespace engine
