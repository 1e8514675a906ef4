#pragma once

#include "launcher/window/RegWind.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/QmWind.h"

#include "platform/shell/Shell.h"

#include <QLineEdit>
#include <QList>
#include <QUrl>

#include <memory>

namespace regwindtest {

// A page control as the edit boxes will be: a line edit tied to a code, its flags and an
// optional constraint.
class TestEdit : public QLineEdit, public QmWind {
public:
    TestEdit(QmWind* parent, const FourCC& code, quint32 flags)
        : QLineEdit(ParentWindowOf(parent)), QmWind(parent)
    {
        SetWindow(this);
        SetCode(code);
        SetFlags(flags);
    }
};

// Refuses an empty value; notes the quiet switch at each check.
class RequiredConstraint : public Constraint {
public:
    bool Validate(const QString& text, const QString*) override
    {
        quietSeen.append(ConstraintQuietFlags());
        return !text.isEmpty();
    }
    QList<quint32> quietSeen;
};

// "EDIT <code> <hex flags>" makes a TestEdit in the current parent.
inline void installTestEdit(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::EDIT, [](ScriptReader& r) {
        const FourCC code(r.Stream());
        quint32 flags = 0;
        r.Stream().readHex(flags);
        new TestEdit(r.CurrentParent(), code, flags);
    });
}

// Runs a script with the test edits; the reader owns the window.
inline std::unique_ptr<ScriptReader> runScript(const QString& script)
{
    auto reader = std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(script), QString(), LangCode("EN"));
    installTestEdit(*reader);
    reader->Run();
    return reader;
}

inline TestEdit* editOf(RegWind& window, const char* code)
{
    return dynamic_cast<TestEdit*>(window.FindControl(FourCC(code)));
}

// URLs handed to the desktop, recorded instead of opened.
class RecordingOpener final : public platform::UrlOpener {
public:
    RecordingOpener() { platform::setUrlOpener(this); }
    ~RecordingOpener() override { platform::setUrlOpener(nullptr); }
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return true;
    }
    QList<QUrl> opened;
};

}  // namespace regwindtest
