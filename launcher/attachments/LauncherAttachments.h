#pragma once

#include <QString>

namespace engine {
class Attachable;
}  // namespace engine

namespace launcher {

class RegWind;

// Enters the launcher's four attachment types ("Counter", "VaskRegisterRecord",
// "SetExitCode", "SetFieldWithTest") in the engine's type registry; the program calls it
// before the application starts, so the page script finds them. The registrations are
// made once, however often it is called, and end at exit. An explicit call, because
// registrars left as globals in a static library are dropped by the linker when nothing
// else in their object file is referenced.
void RegisterLauncherAttachments();

// The registration window that holds the element an attachment runs on (the element
// itself when it is the window); null when the attachable is not a page element or sits in
// no registration window.
RegWind* RegWindOf(engine::Attachable* attachable);

}  // namespace launcher
