#include "platform/hardware/Hardware.h"

#include "platform/hardware/LinuxHardware.h"

namespace platform {

std::shared_ptr<Hardware> systemHardware()
{
    return std::make_shared<LinuxHardware>();
}

}  // namespace platform
