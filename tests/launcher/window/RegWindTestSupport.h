#pragma once

#include "launcher/window/RegWind.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/QmWind.h"

#include "platform/shell/Shell.h"

#include "tests/support/RecordingOpener.h"

#include <QLineEdit>
#include <QList>
#include <QUrl>

#include <memory>

namespace regwindtest {

// A page control as the edit boxes will be: a line edit tied to a code, its flags and an
// optional constraint.
class TestEdit : public QLineEdit, public engine::QmWind {
public:
    TestEdit(engine::QmWind* parent, const engine::FourCC& code, quint32 flags)
        : QLineEdit(ParentWindowOf(parent)), engine::QmWind(parent)
    {
        SetWindow(this);
        SetCode(code);
        SetFlags(flags);
    }
};

// Refuses an empty value; notes the quiet switch at each check.
class RequiredConstraint : public engine::Constraint {
public:
    bool Validate(const QString& text, const QString*) override
    {
        quietSeen.append(engine::ConstraintQuietFlags());
        return !text.isEmpty();
    }
    QList<quint32> quietSeen;
};

// "EDIT <code> <hex flags>" makes a TestEdit in the current parent.
inline void installTestEdit(launcher::ScriptReader& reader)
{
    reader.SetKeywordHandler(launcher::ScriptReader::EDIT, [](launcher::ScriptReader& r) {
        const engine::FourCC code(r.Stream());
        quint32 flags = 0;
        r.Stream().readHex(flags);
        new TestEdit(r.CurrentParent(), code, flags);
    });
}

// Runs a script with the test edits; the reader owns the window.
inline std::unique_ptr<launcher::ScriptReader> runScript(const QString& script)
{
    auto reader = std::make_unique<launcher::ScriptReader>(std::make_unique<engine::QmStrStream>(script), QString(),
                                                           engine::LangCode("EN"));
    installTestEdit(*reader);
    reader->Run();
    return reader;
}

inline TestEdit* editOf(launcher::RegWind& window, const char* code)
{
    return dynamic_cast<TestEdit*>(window.FindControl(engine::FourCC(code)));
}

using testsupport::RecordingOpener;

}  // namespace regwindtest
