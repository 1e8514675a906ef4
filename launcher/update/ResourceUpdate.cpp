#include "launcher/update/ResourceUpdate.h"

namespace launcher {

void ResourceUpdate::AskOnlineUpdate() {}

}  // namespace launcher
