#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/QmWind.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

void onAttachment(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const qsizetype at = s.pos();
    const QString name = ReadScriptToken(s);
    const QString type = ReadScriptToken(s);
    s.seek(at);
    if (Attachment::CreateFromScript(s) == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("Attachment %s: no attachment type %s"), name, type));
}

void onAttach(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const QString target = ReadScriptToken(s);
    const QString name = ReadScriptToken(s);
    quint32 mask = 0;
    s.readHex(mask);
    ScriptTarget* window = reader.RequireWindow(ScriptReader::ATTACH);
    if (window == nullptr)
        return;
    QmWind& top = window->Element();
    QmWind* element = target == u"!REG" ? &top : top.FindByCode(FourCC(target));
    Attachment* attachment = Attachment::Find(name);
    if (element == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("ATTACH %s: no element %s"), name, target));
    if (attachment == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("ATTACH %s: no attachment of that name"), name));
    if (element == nullptr || attachment == nullptr)
        return;
    element->Attach(attachment, mask);
}

}  // namespace

void InstallAttachmentHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::ATTACHMENT, onAttachment);
    reader.SetKeywordHandler(ScriptReader::ATTACH, onAttach);
}

}  // namespace launcher
