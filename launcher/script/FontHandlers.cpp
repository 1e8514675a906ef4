#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/graphics/QmFont.h"

#include <limits>

using namespace engine;

namespace launcher {

namespace {

void onFont(ScriptReader& reader)
{
    reader.SetCurrentFont(QmFontMgr::Instance().AddFromScript(reader.Stream()));
}

// A name no font has leaves no current font: the elements that follow keep their own.
void onUseFont(ScriptReader& reader)
{
    reader.SetCurrentFont(QmFontMgr::Instance().FindFont(ReadScriptToken(reader.Stream())));
}

qint16 colorPart(qint32 value)
{
    return qint16(
        qBound(qint32(std::numeric_limits<qint16>::min()), value, qint32(std::numeric_limits<qint16>::max())));
}

void onSetFontColor(ScriptReader& reader)
{
    qint32 rgb[3] = {0, 0, 0};
    for (qint32& value : rgb)
        reader.Stream().readInt(value);
    SetFontColor(colorPart(rgb[0]), colorPart(rgb[1]), colorPart(rgb[2]));
}

void onSetFontWeight(ScriptReader& reader)
{
    qint32 weight = 0;
    reader.Stream().readInt(weight);
    SetFontWeight(weight);
    reader.DropRestOfLine(ScriptLineLimit::kDroppedShort);
}

}  // namespace

void InstallFontHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::FONT, onFont);
    reader.SetKeywordHandler(ScriptReader::USEFONT, onUseFont);
    reader.SetKeywordHandler(ScriptReader::SETFONTCOLOR, onSetFontColor);
    reader.SetKeywordHandler(ScriptReader::SETFONTWEIGHT, onSetFontWeight);
}

}  // namespace launcher
