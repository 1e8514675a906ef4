#include "regengine/ui/element/QmBasicDialog.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/ScreenInfo.h"

namespace engine {

QmBasicDialog::QmBasicDialog(QmStrStream& script, QmWind* parent)
    : QWidget(ParentWindowOf(parent)), QmWind(parent)
{
    SetWindow(this);
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    // The number has no use on a page; a line without it keeps the rest readable.
    qint32 unused = 0;
    if (!script.readInt(unused) && !script.eof())
        script.clear();
    SetRect(rect);
}

QmBasicDialog::~QmBasicDialog() = default;

}  // namespace engine
