#include "regengine/ui/controls/QmCaption.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/element/ScreenInfo.h"
#include "regengine/ui/graphics/QmFont.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace engine {

namespace {

constexpr quint32 kHandCursor = 0x200000;

}  // namespace

QColor ColorFromRef(quint32 ref)
{
    return QColor(int(ref & 0xFF), int(ref >> 8 & 0xFF), int(ref >> 16 & 0xFF));
}

QmCaption::QmCaption(QmStrStream& script, QmWind* parent, quint32 flags)
    : QLabel(ParentWindowOf(parent)), QmWind(parent)
{
    SetWindow(this);
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    const QString text = ReadStringFromScript(script);
    // QLabel would take a text that looks like markup for rich text.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
    SetRect(rect);
    SetControlId(1);
    AddFlags(flags);
    SetText(text);
    show();
}

QmCaption::QmCaption(QmStrStream& script, QmWind* parent, Kind kind)
    : QmCaption(script, parent, kind == Kind::SubCaption ? QmFlag::TextIsHint : 0)
{}

QmCaption::~QmCaption() = default;

void QmCaption::SetAlignment(QChar horizontal, QChar)
{
    const Qt::Alignment vertical = alignment() & Qt::AlignVertical_Mask;
    if (horizontal == u'C')
        setAlignment(Qt::AlignHCenter | vertical);
    else if (horizontal == u'R')
        setAlignment(Qt::AlignRight | vertical);
}

void QmCaption::Clear() {}

void QmCaption::ApplyPaletteColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    setPalette(p);
}

void QmCaption::UpdateColors()
{
    if (ScreenInfo::Instance().ContrastMode()) {
        const QColor system = QApplication::palette().color(QPalette::WindowText);
        SetTextColor(qint16(system.red()), qint16(system.green()), qint16(system.blue()));
    } else {
        const quint32 font = GetFontColor();
        SetTextColor(qint16(font & 0xFF), qint16(font >> 8 & 0xFF), qint16(font >> 16 & 0xFF));
    }
    ApplyPaletteColor(ColorFromRef(GetTextColor()));
    QmWind::UpdateColors();
}

QmHyperLink::QmHyperLink(QmStrStream& script, QmWind* parent) : QmCaption(script, parent, kHandCursor)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    SplitDisplayValue();
    UpdateColors();
}

QmHyperLink::~QmHyperLink() = default;

void QmHyperLink::ApplyFont(const QmFont* font)
{
    if (font != nullptr) {
        if (font->HasFont()) {
            QFont underlined = font->GetFont();
            underlined.setUnderline(true);
            setFont(underlined);
        }
        SetAlignment(font->GetFirstLetter(), font->GetSecondLetter());
        SetTextColor(font->GetRed(), font->GetGreen(), font->GetBlue());
    }
    UpdateColors();
}

// The link draws in its own two colours whatever its text colour is.
void QmHyperLink::UpdateColors()
{
    ApplyPaletteColor(ColorFromRef(hover_ || focus_ ? kActiveColor : kNormalColor));
    QmWind::UpdateColors();
}

void QmHyperLink::Click()
{
    const std::optional<QString> address = GetStoredValue();
    if (address && !address->isEmpty())
        Notify(QmNotify::LinkClicked, 0);
}

void QmHyperLink::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    UpdateColors();
    QmCaption::enterEvent(event);
}

void QmHyperLink::leaveEvent(QEvent* event)
{
    hover_ = false;
    UpdateColors();
    QmCaption::leaveEvent(event);
}

void QmHyperLink::focusInEvent(QFocusEvent* event)
{
    focus_ = true;
    UpdateColors();
    QmCaption::focusInEvent(event);
}

void QmHyperLink::focusOutEvent(QFocusEvent* event)
{
    focus_ = false;
    UpdateColors();
    QmCaption::focusOutEvent(event);
}

void QmHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    QmCaption::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Click();
}

void QmHyperLink::keyPressEvent(QKeyEvent* event)
{
    // Left to the page, Enter would press its default button as well as open the link.
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QmCaption::keyPressEvent(event);
}

void QmHyperLink::keyReleaseEvent(QKeyEvent* event)
{
    QmCaption::keyReleaseEvent(event);
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        Click();
}

}  // namespace engine
