#include "launcher/attachments/SetFieldWithTestAttachment.h"

#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"

using namespace engine;

namespace launcher {

bool SetFieldWithTestAttachment::ExecuteSelf(Attachable* attachable, quint32)
{
    RegWind* window = RegWindOf(attachable);
    if (window == nullptr)
        return true;
    const QString& value = test_.Evaluate(*window) ? ifTrue_ : ifFalse_;
    window->SetFieldValue(target_, window->SubstituteTags(value, false));
    return true;
}

void SetFieldWithTestAttachment::ReadParameters(QmStrStream& stream)
{
    target_ = FourCC(stream);
    test_.ReadFromScript(stream);
    ifTrue_ = MakeStringResolved(ReadScriptToken(stream));
    ifFalse_ = MakeStringResolved(ReadScriptToken(stream));
}

}  // namespace launcher
