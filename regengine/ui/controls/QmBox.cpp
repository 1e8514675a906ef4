#include "regengine/ui/controls/QmBox.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QPainter>

namespace engine {

namespace {

constexpr qsizetype kBoxTextLimit = 512;

}  // namespace

QmBox::QmBox(QmStrStream& script, QmWind* parent) : QGroupBox(ParentWindowOf(parent)), QmWind(parent)
{
    SetWindow(this);
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    quint32 flags = 0;
    script.readHex(flags);
    QString text;
    if (script.previous() != u'\n') {
        SkipLineBlanks(script);
        ReadScriptLine(script, text, kBoxTextLimit);
        UnescapeHex(text);
    }
    if (text.startsWith(u'_'))
        text.clear();
    setFocusPolicy(Qt::NoFocus);
    SetRect(rect);
    SetControlId(kControlId);
    SetText(text);
    AddFlags(flags);
    show();
}

QmBox::~QmBox() = default;

QmHorizRule::QmHorizRule(QmStrStream& script, QmWind* parent) : QmBasicWindow(parent)
{
    ReadWindowLine(script);
    setFocusPolicy(Qt::NoFocus);
}

void QmHorizRule::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, 1000, 1), QColor(0x55, 0x55, 0x55));
    painter.fillRect(QRect(0, 1, 1000, 1), QColor(0xEE, 0xEE, 0xEE));
}

}  // namespace engine
