#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/QmBasicDialog.h"
#include "regengine/ui/element/QmWind.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

constexpr qsizetype kConstraintNameLimit = 50;

void onConstraint(ScriptReader& reader)
{
    Constraint::Register(new Constraint(reader.Stream()));
}

void onMask(ScriptReader& reader)
{
    Constraint::Register(new MaskConstraint(reader.Stream()));
}

void onMfgrConstraint(ScriptReader& reader)
{
    ScriptTarget* window = reader.RequireWindow(ScriptReader::MFGRCONSTRAINT);
    if (window != nullptr)
        Constraint::Register(new MFGRConstraint(&window->Element()));
}

// The control with the code anywhere in the window, and the one in the current page, which
// may be another when two pages use the code.
void onSetConstraint(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const FourCC code(s);
    const QString name = reader.ReadRestOfLine(kConstraintNameLimit).trimmed();
    ScriptTarget* window = reader.RequireWindow(ScriptReader::SETCONSTRAINT);
    Constraint* constraint = Constraint::Find(name);
    if (window == nullptr || constraint == nullptr) {
        if (constraint == nullptr)
            EngineTrace(platform::formatText(QStringLiteral("SETCONSTRAINT %s: no constraint of that name"), name));
        return;
    }
    if (QmWind* control = window->Element().FindByCode(code))
        control->SetConstraint(constraint);
    if (QmBasicDialog* page = reader.CurrentPage()) {
        if (QmWind* control = page->FindByCode(code))
            control->SetConstraint(constraint);
    }
}

void onSetConstraintTries(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const QString name = ReadScriptToken(s);
    qint32 tries = 0;
    s.readInt(tries);
    const FourCC tag(s);
    qint32 number = 0;
    s.readInt(number);
    if (Constraint* constraint = Constraint::Find(name))
        constraint->SetErrorLimit(tries, tag, number);
}

}  // namespace

void InstallConstraintHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::CONSTRAINT, onConstraint);
    reader.SetKeywordHandler(ScriptReader::MASK, onMask);
    reader.SetKeywordHandler(ScriptReader::MFGRCONSTRAINT, onMfgrConstraint);
    reader.SetKeywordHandler(ScriptReader::SETCONSTRAINT, onSetConstraint);
    reader.SetKeywordHandler(ScriptReader::SETCONSTRAINTTRIES, onSetConstraintTries);
}

}  // namespace launcher
