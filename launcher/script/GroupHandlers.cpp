#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/ui/controls/QmBasicGroup.h"
#include "regengine/ui/controls/QmBox.h"
#include "regengine/ui/controls/QmGroupWindow.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

// Deeper than this no page is drawn by hand; a downloaded script nesting groups without
// end would otherwise make every walk of the element tree recurse until the stack runs out.
constexpr int kMaxGroupDepth = 32;

// The new group holds the elements up to its ENDGROUP.
template <typename Group>
void onGroup(ScriptReader& reader, int keyword)
{
    QmWind* parent = ParentForControl(reader, keyword);
    if (parent == nullptr)
        return;
    if (reader.OpenGroupCount() >= kMaxGroupDepth) {
        EngineTrace(platform::formatText(QStringLiteral("%s nested deeper than %d groups: skipped"),
                                         ScriptReader::KeywordText(keyword).toString(), kMaxGroupDepth));
        return;
    }
    reader.OpenGroup(new Group(reader.Stream(), parent));
}

template <typename Element>
void onElement(ScriptReader& reader, int keyword)
{
    // Owned by its parent element from here on.
    if (QmWind* parent = ParentForControl(reader, keyword))
        new Element(reader.Stream(), parent);
}

}  // namespace

void InstallGroupHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::BASICGROUP,
                             [](ScriptReader& r) { onGroup<QmBasicGroup>(r, ScriptReader::BASICGROUP); });
    reader.SetKeywordHandler(ScriptReader::GROUP,
                             [](ScriptReader& r) { onGroup<QmGroupWindow>(r, ScriptReader::GROUP); });
    reader.SetKeywordHandler(ScriptReader::CHECKGROUP,
                             [](ScriptReader& r) { onGroup<QmChkGroupWindow>(r, ScriptReader::CHECKGROUP); });
    reader.SetKeywordHandler(ScriptReader::MULTIGROUP,
                             [](ScriptReader& r) { onGroup<QmMultiGroup>(r, ScriptReader::MULTIGROUP); });
    reader.SetKeywordHandler(ScriptReader::BOX, [](ScriptReader& r) { onElement<QmBox>(r, ScriptReader::BOX); });
    reader.SetKeywordHandler(ScriptReader::HORIZRULE,
                             [](ScriptReader& r) { onElement<QmHorizRule>(r, ScriptReader::HORIZRULE); });
}

}  // namespace launcher
