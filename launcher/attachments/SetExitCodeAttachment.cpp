#include "launcher/attachments/SetExitCodeAttachment.h"

#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/ModalWait.h"
#include "regengine/core/QmStrStream.h"

using namespace engine;

namespace launcher {

bool SetExitCodeAttachment::ExecuteSelf(Attachable* attachable, quint32)
{
    RegWind* window = RegWindOf(attachable);
    if (window == nullptr || !test_.Evaluate(*window))
        return true;
    SetLauncherExitCode(exitCode_);
    if (flags_ & kQuit)
        PostQuitWithExitCode();
    return true;
}

void SetExitCodeAttachment::ReadParameters(QmStrStream& stream)
{
    test_.ReadFromScript(stream);
    stream.readInt(exitCode_);
    stream.readHex(flags_);
}

}  // namespace launcher
