#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmDateField.h"
#include "regengine/ui/controls/QmDibWind.h"
#include "regengine/ui/controls/QmPopup.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

// The list a combo or popup is filled from; a missing one creates nothing.
const QmStringList* listFor(ScriptReader& reader, int keyword, const QString& name)
{
    const QmStringList* list = reader.FindList(name);
    if (list == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("%s: no list %s: skipped"),
                                         ScriptReader::KeywordText(keyword).toString(), name));
    return list;
}

QString readWord(ScriptReader& reader)
{
    QString word;
    reader.Stream().readWord(word);
    return word;
}

void onCombo(ScriptReader& r)
{
    QmWind* parent = ParentForControl(r, ScriptReader::COMBO);
    if (parent == nullptr)
        return;
    if (const QmStringList* list = listFor(r, ScriptReader::COMBO, ReadScriptToken(r.Stream()))) {
        auto* combo = new QmCombo(r.Stream(), parent, *list);
        combo->ApplyFont(r.CurrentFont());
    }
}

void onPopup(ScriptReader& r)
{
    QmWind* parent = ParentForControl(r, ScriptReader::POPUP);
    if (parent == nullptr)
        return;
    if (const QmStringList* list = listFor(r, ScriptReader::POPUP, readWord(r))) {
        auto* popup = new QmPopup(r.Stream(), parent, *list);
        popup->ApplyFont(r.CurrentFont());
    }
}

void onDateField(ScriptReader& r)
{
    QmWind* parent = ParentForControl(r, ScriptReader::DATEFIELD);
    if (parent == nullptr)
        return;
    const QString months = readWord(r);
    const QString years = readWord(r);
    auto* field = new QmDateField(r.Stream(), parent, r.FindList(months), r.FindList(years), r.GetLanguage());
    field->ApplyFont(r.CurrentFont());
}

}  // namespace

void InstallChoiceControlHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::COMBO, onCombo);
    reader.SetKeywordHandler(ScriptReader::POPUP, onPopup);
    reader.SetKeywordHandler(ScriptReader::DATEFIELD, onDateField);
    reader.SetKeywordHandler(ScriptReader::GRAPHIC, [](ScriptReader& r) {
        if (QmWind* parent = ParentForControl(r, ScriptReader::GRAPHIC))
            new QmDibWind(r.Stream(), parent);
    });
    // Lists are found by name at each use; naming one in advance changes nothing.
    reader.SetKeywordHandler(ScriptReader::USELIST, {});
}

}  // namespace launcher
