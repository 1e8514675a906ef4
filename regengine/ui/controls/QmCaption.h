#pragma once

#include "regengine/ui/element/QmWind.h"

#include <QLabel>

namespace engine {

class QmStrStream;

// A static text of a page (CAPTION, SUBCAPTION), left and top aligned and wrapped, drawn
// over the page in the text colour. Its text is always plain text: a script or a server
// may put anything in it.
class QmCaption : public QLabel, public QmWind {
public:
    enum class Kind { Caption, SubCaption };

    // The rest of the line: code, rectangle and the text (a table reference is resolved).
    // A sub-caption's text is also its hint.
    QmCaption(QmStrStream& script, QmWind* parent, Kind kind = Kind::Caption);
    ~QmCaption() override;

    // "C" centres the text, "R" puts it on the right; other letters change nothing.
    void SetAlignment(QChar horizontal, QChar vertical) override;
    // A caption keeps its text.
    void Clear() override;
    // The desktop's text colour in contrast mode, else the font's.
    void UpdateColors() override;

protected:
    // Reads code, rectangle and text, and places the label; for the link as well.
    QmCaption(QmStrStream& script, QmWind* parent, quint32 flags);
    void ApplyPaletteColor(const QColor& color);
};

// A link (HYPERLINK): "display^address" shows the display part, keeps the address as the
// stored value and reports a click (826) when it has one. Blue, light blue while the
// pointer is over it or it has the focus; a tab item; underlined in the script's font.
class QmHyperLink : public QmCaption {
public:
    static constexpr quint32 kNormalColor = 0x00FF0000;
    static constexpr quint32 kActiveColor = 0x00FF5050;

    QmHyperLink(QmStrStream& script, QmWind* parent);
    ~QmHyperLink() override;

    // The font, underlined, its letters and its colour; then the link's colours.
    void ApplyFont(const QmFont* font) override;
    void UpdateColors() override;

    bool IsHovered() const { return hover_; }
    bool IsFocused() const { return focus_; }
    // The click: 826 when the link has an address.
    void Click();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Space and Enter are the link's own: taken when pressed, a click when released.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool hover_ = false;
    bool focus_ = false;
};

// A COLORREF (red in the low byte) as a colour.
QColor ColorFromRef(quint32 ref);

}  // namespace engine
