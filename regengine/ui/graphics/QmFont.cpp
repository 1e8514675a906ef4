#include "regengine/ui/graphics/QmFont.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QCoreApplication>

namespace engine {

namespace {

struct FontState {
    qint16 red = 0;
    qint16 green = 0;
    qint16 blue = 0;
    int weight = 0;
};

FontState& fontState()
{
    static FontState state;
    return state;
}

// Point sizes beyond this are no font anyone can see; it keeps the arithmetic in range.
constexpr int kMaxPoints = 1000;

}  // namespace

void SetFontColor(qint16 red, qint16 green, qint16 blue)
{
    FontState& state = fontState();
    state.red = red;
    state.green = green;
    state.blue = blue;
}

void SetFontWeight(int weight)
{
    fontState().weight = weight;
}

int CurrentFontWeight()
{
    return fontState().weight;
}

int QmFont::ScriptSizeTenths(int points, bool scaling, int dpiY)
{
    points = qBound(0, points, kMaxPoints);
    if (scaling)
        return points * 10;
    // A screen that reports no resolution must not divide by zero.
    const int dpi = dpiY > 0 ? dpiY : 96;
    return points * 960 / dpi;
}

int QmFont::PixelHeight(int tenths, int dpiY)
{
    const int dpi = dpiY > 0 ? dpiY : 96;
    return int((qint64(tenths) * dpi + 360) / 720);
}

QmFont::QmFont(QmStrStream& script)
{
    QString name;
    QString face;
    qint32 points = 0;
    QString letters;
    script.readWord(name);
    script.readWord(face);
    script.readInt(points);
    script.readWord(letters);
    face.replace(u'_', u' ');

    const ScreenInfo& screen = ScreenInfo::Instance();
    tenths_ = ScriptSizeTenths(points, screen.ScalingOn(), screen.DpiY());
    QFont font(face);
    // The height comes from the engine's own screen record, not Qt's idea of the screen, so
    // a page looks the same whatever resolution Qt assumes.
    font.setPixelSize(qMax(1, PixelHeight(tenths_, screen.DpiY())));
    const int weight = CurrentFontWeight();
    if (weight != 0)
        font.setWeight(QFont::Weight(qBound(1, weight, 1000)));
    font_ = font;

    first_ = letters.size() > 0 ? letters[0] : QChar();
    second_ = letters.size() > 1 ? letters[1] : QChar();
    name_ = name;
    const FontState& state = fontState();
    SetColor(state.red, state.green, state.blue);
}

const QFont& QmFont::GetFont() const
{
    static const QFont none;
    return font_ ? *font_ : none;
}

void QmFont::SetLetters(QChar first, QChar second)
{
    first_ = first;
    second_ = second;
}

void QmFont::SetColor(qint16 red, qint16 green, qint16 blue)
{
    red_ = red;
    green_ = green;
    blue_ = blue;
}

QmFontMgr& QmFontMgr::Instance()
{
    static QmFontMgr manager;
    return manager;
}

QmFont* QmFontMgr::AddFromScript(QmStrStream& script)
{
    // Typefaces must go while the application that made them still stands, not among the
    // static objects after it.
    static bool cleanupPosted = false;
    if (!cleanupPosted && QCoreApplication::instance() != nullptr) {
        cleanupPosted = true;
        qAddPostRoutine([] {
            Instance().RemoveAll();
            cleanupPosted = false;
        });
    }
    Add(std::make_unique<QmFont>(script));
    return At(GetCount() - 1)->get();
}

QmFont* QmFontMgr::FindFont(const QString& name) const
{
    for (int i = 0; i < GetCount(); ++i) {
        const std::unique_ptr<QmFont>& font = *At(i);
        if (font && font->GetName() == name)
            return font.get();
    }
    return nullptr;
}

}  // namespace engine
