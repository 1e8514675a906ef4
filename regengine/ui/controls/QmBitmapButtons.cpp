#include "regengine/ui/controls/QmBitmapButtons.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace engine {

namespace {

constexpr qsizetype kToggleTextLimit = 100;

bool g_toggleGroupTaken = false;

void drawFocusFrame(QWidget& widget)
{
    QStylePainter painter(&widget);
    QStyleOptionFocusRect option;
    option.initFrom(&widget);
    option.rect = widget.rect();
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

}  // namespace

QmBitmapButton::QmBitmapButton(QmWind* parent) : QAbstractButton(ParentWindowOf(parent)), QmControl(parent)
{
    SetWindow(this);
    setFocusPolicy(Qt::NoFocus);
}

QmBitmapButton::~QmBitmapButton() = default;

bool QmBitmapButton::LoadBitmaps(const QString& up, const QString& down)
{
    const bool loaded = up_.LoadFromResourceName(up);
    if (!down.isEmpty())
        down_.LoadFromResourceName(down);
    update();
    return loaded;
}

void QmBitmapButton::paintEvent(QPaintEvent*)
{
    {
        QPainter painter(this);
        const CDIB& picture = isDown() && down_.IsLoaded() ? down_ : up_;
        picture.Draw(painter, width(), height());
    }
    if (HasFocusFrame())
        drawFocusFrame(*this);
}

void QmBitmapButton::focusInEvent(QFocusEvent* event)
{
    focus_ = true;
    QAbstractButton::focusInEvent(event);
    update();
}

void QmBitmapButton::focusOutEvent(QFocusEvent* event)
{
    focus_ = false;
    QAbstractButton::focusOutEvent(event);
    update();
}

void QmBitmapButton::SendCommand()
{
    if (GetCommand() != 0)
        Notify(GetCommand(), 0);
}

QmGraphicButton::QmGraphicButton(QmStrStream& script, QmWind* parent) : QmBitmapButton(parent)
{
    ButtonLine line;
    QmRect rect;
    ReadButtonLine(script, line, rect, false);
    SetCode(line.code);
    const QString bitmap = ReadScriptToken(script);
    SetText(ReadStringFromScript(script));
    SetRect(rect);
    SetControlId(line.id);
    SetCommand(line.command);
    SetFlags(line.flags);
    LoadBitmaps(bitmap);
    if (line.flags & QmButtonFlag::TabStop)
        setFocusPolicy(Qt::StrongFocus);
    if (line.flags & QmButtonFlag::HandCursor)
        setCursor(Qt::PointingHandCursor);
    // Qt grabs the mouse for the press and lets it go at the release wherever it happens,
    // and reports a click only for a release over the button.
    connect(this, &QAbstractButton::clicked, this, [this] { SendCommand(); });
    show();
    SplitDisplayValue();
}

CHoverButton::CHoverButton(QmStrStream& script, QmWind* parent) : QmBitmapButton(parent)
{
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    qint32 id = 0;
    qint32 command = 0;
    script.readInt(id);
    script.readInt(command);
    QString name;
    script.readWord(name);
    SetRect(rect);
    SetControlId(id);
    SetCommand(command);
    SetText(name);
    LoadBitmaps(name + u'U', name + u'D');
    show();
}

void CHoverButton::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    setDown(true);
    QmBitmapButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event)
{
    hover_ = false;
    setDown(false);
    QmBitmapButton::leaveEvent(event);
}

void CHoverButton::mousePressEvent(QMouseEvent* event)
{
    // Pressed already while hovered; the release decides.
    event->accept();
}

void CHoverButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool pushed = isDown() || (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()));
    setDown(false);
    hover_ = false;
    if (event->button() == Qt::LeftButton && pushed && rect().contains(event->position().toPoint()))
        SendCommand();
    event->accept();
}

QmToggleButton::QmToggleButton(QmStrStream& script, QmWind* parent) : QmBitmapButton(parent)
{
    SetCode(FourCC(script));
    qint32 x = 0, y = 0, width = 0, height = 0, id = 0, command = 0;
    script.readInt(x);
    script.readInt(y);
    script.readInt(width);
    script.readInt(height);
    script.readInt(id);
    script.readInt(command);
    quint32 flags = 0;
    script.readHex(flags);
    QString name;
    script.readWord(name);
    SkipLineBlanks(script);
    QString text;
    ReadScriptLine(script, text, kToggleTextLimit);
    QmRect rect(x, y, x + width, y + height);
    ScreenInfo::Instance().Scale(rect);
    SetRect(rect);
    SetControlId(id);
    SetCommand(command);
    SetFlags(flags | QmButtonFlag::TwoState);
    startsGroup_ = !g_toggleGroupTaken;
    g_toggleGroupTaken = true;
    SetText(text);
    LoadBitmaps(name + u'U', name + u'D');
    const bool locked = Lock(true);
    QmControl::SetValue(0);
    Lock(locked);
    show();
}

void QmToggleButton::ResetGroupStart()
{
    g_toggleGroupTaken = false;
}

int QmToggleButton::SetValue(int value)
{
    const int old = QmControl::SetValue(value);
    setDown(Value() != 0);
    return old;
}

void QmToggleButton::focusInEvent(QFocusEvent* event)
{
    QmBitmapButton::focusInEvent(event);
    Notify(QmNotify::LeaveGroupForward, 0);
}

void QmToggleButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void QmToggleButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    if ((GetFlags() & QmButtonFlag::OnStaysOn) == 0 || Value() == 0)
        SetValue(Value() != 0 ? 0 : 1);
}

QmClearButton::QmClearButton(QmStrStream& script, QmWind* parent) : QWidget(ParentWindowOf(parent)), QmControl(parent)
{
    SetWindow(this);
    ButtonLine line;
    QmRect rect;
    ReadButtonLine(script, line, rect, true);
    SetCode(line.code);
    QString text = ReadStringFromScript(script);
    if (text == u"_")
        text.clear();
    SetRect(rect);
    SetControlId(line.id);
    SetCommand(line.command);
    AddFlags(line.flags);
    if (!text.isEmpty())
        SetTextNotify(text);
    SplitDisplayValue();
    setFocusPolicy((line.flags & QmButtonFlag::TabStop) ? Qt::StrongFocus : Qt::NoFocus);
    if (line.flags & QmButtonFlag::HandCursor)
        setCursor(Qt::PointingHandCursor);
    show();
}

void QmClearButton::paintEvent(QPaintEvent*)
{
    if (HasFocusFrame())
        drawFocusFrame(*this);
}

void QmClearButton::focusInEvent(QFocusEvent* event)
{
    focus_ = true;
    QWidget::focusInEvent(event);
    update();
}

void QmClearButton::focusOutEvent(QFocusEvent* event)
{
    focus_ = false;
    QWidget::focusOutEvent(event);
    update();
}

void QmClearButton::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && GetCommand() != 0)
        Notify(GetCommand(), 0);
}

void QmClearButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        if (GetCommand() != 0)
            Notify(GetCommand(), 0);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

}  // namespace engine
