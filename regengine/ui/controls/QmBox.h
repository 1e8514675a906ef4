#pragma once

#include "regengine/ui/element/QmBasicWindow.h"
#include "regengine/ui/element/QmWind.h"

#include <QGroupBox>

namespace engine {

class QmStrStream;

// A group box drawn around other elements of its page (BOX); the elements are its
// siblings, not its children. Its caption is plain text.
class QmBox : public QGroupBox, public QmWind {
public:
    static constexpr int kControlId = 9876;

    // The rest of a BOX line: code, rectangle, hexadecimal flags and the caption (the rest
    // of the line, "\x" escapes decoded); a caption beginning with "_" is empty.
    QmBox(QmStrStream& script, QmWind* parent);
    ~QmBox() override;
};

// A horizontal rule (HORIZRULE): a dark line over a light one along the top of its window.
// It never keeps the focus.
class QmHorizRule : public QmBasicWindow {
public:
    // The rest of the line: code, rectangle and control id.
    QmHorizRule(QmStrStream& script, QmWind* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace engine
