#pragma once

#include <QString>

namespace launcher {

// The folder the resource update last saved or loaded its pages in, for this process;
// empty until one did. The self-removal deletes it.
QString RememberedUpdateFolder();
void RememberUpdateFolder(const QString& folder);

}  // namespace launcher
