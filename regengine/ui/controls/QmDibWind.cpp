#include "regengine/ui/controls/QmDibWind.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/ScreenInfo.h"

namespace engine {

namespace {

constexpr int kPictureId = 333;

}  // namespace

QmDibWind::QmDibWind() = default;

QmDibWind::QmDibWind(QmStrStream& script, QmWind* parent, const QString& module)
    : CDibWnd(ParentWindowOf(parent), module), QmWind(parent)
{
    SetWindow(this);
    SetCode(FourCC(script));
    qint32 x = 0;
    qint32 y = 0;
    quint32 flags = 0;
    script.readInt(x);
    script.readInt(y);
    script.readHex(flags);
    SetFlags(flags);
    QString bitmap;
    script.readWord(bitmap);
    // The text is optional and belongs to this line: reading a token past the line end
    // would take the next line's keyword.
    QString text;
    SkipLineBlanks(script);
    const int next = script.peek();
    if (next >= 0 && next != u'\n' && next != u'\r')
        text = ReadScriptToken(script);
    Dib().LoadFromResourceName(bitmap);
    const QSize size = Dib().GetSize();
    natural_ = QmRect(x, y, x + size.width(), y + size.height());
    SetControlId(kPictureId);
    setEnabled(false);
    if (flags & kHalftone)
        SetHalftone(true);
    setWindowTitle(text);
    Place();
    show();
}

QmDibWind::~QmDibWind() = default;

void QmDibWind::Place()
{
    QmRect rect = natural_;
    if ((GetFlags() & kHideInContrast) && ScreenInfo::Instance().ContrastMode())
        rect.Set(rect.left, rect.top, rect.left, rect.top);
    ScreenInfo::Instance().Scale(rect);
    SetRect(rect);
    update();
}

void QmDibWind::UpdateColors()
{
    Place();
    QmWind::UpdateColors();
}

}  // namespace engine
