#pragma once

namespace launcher {

// The registration window's reminders to register later: the due time in the engine key,
// the Startup shortcut and the register-later dialog. None is built yet, so no reminder is
// ever set and there is none to delete.
class Reminders {
public:
    // The register-later choice of the pages; true when the window is to close.
    bool ScheduleReminder(bool fromFinalPage);
    // Sets the reminder without asking.
    void SetReminder();
    void DeleteReminder();
};

}  // namespace launcher
