#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/ui/controls/QmCaption.h"
#include "regengine/ui/controls/QmDataHolder.h"
#include "regengine/ui/controls/QmEdit.h"
#include "regengine/ui/controls/QmMaskEdit.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

// Every text control but the value holder wears the current font. Each is owned by its
// parent element from here on.
template <typename Control, typename... Args>
void onControl(ScriptReader& reader, int keyword, Args... args)
{
    QmWind* parent = ParentForControl(reader, keyword);
    if (parent == nullptr)
        return;
    auto* control = new Control(reader.Stream(), parent, args...);
    control->ApplyFont(reader.CurrentFont());
}

// The first edit after a page keyword starts the page's tab group.
quint32 editStyle(ScriptReader& reader)
{
    return reader.TakeFirstControlAfterPage() ? QmEdit::kGroupStart : 0;
}

}  // namespace

void InstallTextControlHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::CAPTION, [](ScriptReader& r) {
        onControl<QmCaption>(r, ScriptReader::CAPTION, QmCaption::Kind::Caption);
    });
    reader.SetKeywordHandler(ScriptReader::SUBCAPTION, [](ScriptReader& r) {
        onControl<QmCaption>(r, ScriptReader::SUBCAPTION, QmCaption::Kind::SubCaption);
    });
    reader.SetKeywordHandler(ScriptReader::HYPERLINK,
                             [](ScriptReader& r) { onControl<QmHyperLink>(r, ScriptReader::HYPERLINK); });
    reader.SetKeywordHandler(ScriptReader::EDIT,
                             [](ScriptReader& r) { onControl<QmEdit>(r, ScriptReader::EDIT, editStyle(r)); });
    reader.SetKeywordHandler(ScriptReader::MASKEDIT,
                             [](ScriptReader& r) { onControl<QmMaskEdit>(r, ScriptReader::MASKEDIT, editStyle(r)); });
    reader.SetKeywordHandler(ScriptReader::DATAHOLDER, [](ScriptReader& r) {
        if (QmWind* parent = ParentForControl(r, ScriptReader::DATAHOLDER))
            new QmDataHolder(r.Stream(), parent);
    });
}

}  // namespace launcher
