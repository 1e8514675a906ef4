#include "regengine/core/QmRect.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

namespace engine {

namespace {

struct RectGlobals {
    QmRect previous;
    bool relative = false;
};

RectGlobals& globals()
{
    static RectGlobals g;
    return g;
}

// Page coordinates are 32-bit; sums of script numbers wrap as they always did instead of
// overflowing into undefined behaviour.
qint32 wrap(qint64 v)
{
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(v)));
}

}  // namespace

void QmRect::Set(qint32 l, qint32 t, qint32 r, qint32 b)
{
    left = l;
    top = t;
    right = r;
    bottom = b;
}

bool QmRect::ReadFromScript(QmStrStream& stream)
{
    qint32 value[4] = {0, 0, 0, 0};
    bool relative[4] = {false, false, false, false};
    bool ok = true;
    for (int i = 0; i < 4; ++i) {
        SkipScriptBlanks(stream);
        const int next = stream.peek();
        relative[i] = globals().relative && (next == u'+' || next == u'-');
        if (!stream.readInt(value[i]))
            ok = false;
    }
    const QmRect prev = globals().previous;
    left = relative[0] ? wrap(qint64(value[0]) + prev.left) : value[0];
    top = relative[1] ? wrap(qint64(value[1]) + prev.top) : value[1];
    right = wrap(qint64(left) + (relative[2] ? qint64(prev.right) - prev.left : value[2]));
    bottom = wrap(qint64(top) + (relative[3] ? qint64(prev.bottom) - prev.top : value[3]));
    globals().previous = *this;
    return ok;
}

void QmRect::ScaleForDpi(quint8 options, int dpiX, int dpiY)
{
    if ((options & 0x1) == 0)
        return;
    const qint64 width = qint64(right) - left;
    const qint64 height = qint64(bottom) - top;
    left = wrap(qint64(left) * dpiX / 96);
    right = wrap(qint64(left) + width * dpiX / 96);
    top = wrap(qint64(top) * dpiY / 96);
    bottom = wrap(qint64(top) + height * dpiY / 96);
}

QmRect& QmRect::Previous()
{
    return globals().previous;
}

bool QmRect::RelativeMode()
{
    return globals().relative;
}

void QmRect::SetRelativeMode(bool on)
{
    globals().relative = on;
}

}  // namespace engine
