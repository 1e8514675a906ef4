#pragma once

namespace launcher {

// The registration window's resource update: a newer page script asked for, downloaded,
// checked, run and kept. This product never sets an update type, and nothing of the update
// is built yet.
class ResourceUpdate {
public:
    // After the start page is shown: asks, when the script wants it, whether to look for an
    // update.
    void AskOnlineUpdate();
};

}  // namespace launcher
