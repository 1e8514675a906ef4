#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace platform {
class Hardware;
class Telephony;
}  // namespace platform

namespace engine {

// Where the system items and parameters read the machine. Tests put fixtures in place of
// each; a default-made one reads this machine.
struct SysInfoSources {
    std::shared_ptr<platform::Hardware> hardware;
    // A new telephony session for each question; null: the machine's.
    std::function<std::unique_ptr<platform::Telephony>()> telephony;
    // The "current drive" of the items (the working folder when empty) and the system
    // drive of the parameters ("C:\" there, the root here).
    QString currentDrive;
    QString systemDrive = QStringLiteral("/");
};

// The process's sources; the machine's until SetSysInfoSources replaces them.
const SysInfoSources& GetSysInfoSources();
// Replaces the sources; a null hardware reads this machine's.
void SetSysInfoSources(SysInfoSources sources);
// Back to this machine.
void ResetSysInfoSources();

// The shortcuts the probes use.
platform::Hardware& SysHardware();
std::unique_ptr<platform::Telephony> SysTelephony();

}  // namespace engine
