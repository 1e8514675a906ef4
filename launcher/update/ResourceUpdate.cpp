#include "launcher/update/ResourceUpdate.h"

void ResourceUpdate::AskOnlineUpdate() {}
