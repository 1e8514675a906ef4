#include "launcher/attachments/CounterAttachment.h"

#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

bool CounterAttachment::ExecuteSelf(Attachable* attachable, quint32)
{
    RegWind* window = RegWindOf(attachable);
    if (window == nullptr)
        return true;
    const bool keep = (flags_ & kKeepInRegistry) != 0;
    if (!countLoaded_) {
        countLoaded_ = true;
        if (window->OpenRegistryKey() && keep) {
            const std::optional<platform::RegValue> stored = EngineRegistryValue(GetName());
            count_ = stored && stored->type == platform::RegType::DWord ? int(quint32(stored->number)) : 0;
        }
    }
    if (test_.Evaluate(*window)) {
        ++count_;
        if (keep && IsEngineRegistryKeyOpen() &&
            !SetEngineRegistryValue(GetName(), platform::RegValue::fromDWord(quint32(count_))))
            EngineTrace(platform::formatText(QStringLiteral("Counter %s: the count %d could not be stored"), GetName(),
                                             count_));
    }
    window->SetFieldValue(target_, QString::number(count_));
    return true;
}

void CounterAttachment::ReadParameters(QmStrStream& stream)
{
    test_.ReadFromScript(stream);
    target_ = FourCC(ReadScriptToken(stream));
    stream.readHex(flags_);
}

}  // namespace launcher
