#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/QmWind.h"
#include "regengine/ui/element/ScreenInfo.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

QmWind* ParentForControl(ScriptReader& reader, int keyword)
{
    QmWind* parent = reader.CurrentParent();
    if (parent == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("%s before WIND: skipped"),
                                         ScriptReader::KeywordText(keyword).toString()));
    return parent;
}

namespace {

void onEndGroup(ScriptReader& reader)
{
    reader.CloseGroup();
}

void onDefaultFlag(ScriptReader& reader)
{
    quint32 flags = 0;
    if (reader.Stream().readHex(flags))
        QmWind::SetDefaultFlags(flags);
    reader.DropRestOfLine(ScriptLineLimit::kDroppedShort);
}

void onAccessibility(ScriptReader& reader)
{
    ScreenInfo& screen = ScreenInfo::Instance();
    screen.Refresh();
    screen.ParseOptions(reader.Stream());
    if (ScriptTarget* window = reader.GetScriptTarget())
        window->Element().UpdateColors();
}

}  // namespace

void InstallElementHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::ENDGROUP, onEndGroup);
    reader.SetKeywordHandler(ScriptReader::DEFAULTFLAG, onDefaultFlag);
    reader.SetKeywordHandler(ScriptReader::ACCESSIBILITY, onAccessibility);
}

}  // namespace launcher
