#include "launcher/attachments/LauncherAttachments.h"

#include "launcher/attachments/CounterAttachment.h"
#include "launcher/window/RegWind.h"
#include "launcher/attachments/SetExitCodeAttachment.h"
#include "launcher/attachments/SetFieldWithTestAttachment.h"
#include "launcher/attachments/VaskRegisterRecord.h"

#include "regengine/core/Attachment.h"

using namespace engine;

namespace launcher {

void RegisterLauncherAttachments()
{
    // Built on the first call, in the registry's order; each takes its type out again at
    // exit.
    static const AttachmentTypeRegistrar<CounterAttachment> counter(QStringLiteral("Counter"));
    static const AttachmentTypeRegistrar<VaskRegisterRecord> vask(QStringLiteral("VaskRegisterRecord"));
    static const AttachmentTypeRegistrar<SetExitCodeAttachment> exitCode(QStringLiteral("SetExitCode"));
    static const AttachmentTypeRegistrar<SetFieldWithTestAttachment> field(QStringLiteral("SetFieldWithTest"));
}

RegWind* RegWindOf(Attachable* attachable)
{
    for (QmWind* element = dynamic_cast<QmWind*>(attachable); element != nullptr; element = element->GetParent()) {
        if (auto* window = dynamic_cast<RegWind*>(element))
            return window;
    }
    return nullptr;
}

}  // namespace launcher
