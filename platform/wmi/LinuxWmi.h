#pragma once

#include "platform/wmi/Wmi.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// Where the Linux WMI reads the machine; tests point each root at fixtures.
struct LinuxWmiRoots {
    QString dmi;            // DMI value files: $OVEX_DMI_DIR, else /sys/class/dmi/id
    QString proc;           // cpuinfo, meminfo, self/mounts, sys/kernel/{hostname,osrelease}
    QString sys;            // devices/system/cpu/cpu<N>/cpufreq
    QStringList osRelease;  // the os-release files, the first that can be read wins

    static LinuxWmiRoots fromEnvironment();
};

// The WMI classes the callers query, answered from DMI (sysfs), /proc, statvfs and
// os-release. The classes and where their properties come from:
//   Win32_ComputerSystem         Manufacturer sys_vendor, Model product_name, Name the host
//                                name, NumberOfProcessors the processor packages, SystemType,
//                                TotalPhysicalMemory (bytes)
//   Win32_BIOS                   SerialNumber product_serial, Manufacturer bios_vendor,
//                                Version and SMBIOSBIOSVersion bios_version, ReleaseDate
//                                bios_date as a CIM date ("yyyymmdd000000.000000+000")
//   Win32_BaseBoard              Manufacturer board_vendor, Product board_name, SerialNumber board_serial
//   Win32_SystemEnclosure        SerialNumber chassis_serial, Manufacturer chassis_vendor
//   Win32_ComputerSystemProduct  IdentifyingNumber product_serial, Name product_name,
//                                Vendor sys_vendor, UUID product_uuid, Version product_version
//   Win32_OperatingSystem        Caption PRETTY_NAME, Version VERSION_ID, BuildNumber the
//                                kernel release, OSArchitecture, TotalVisibleMemorySize and
//                                FreePhysicalMemory (kilobytes, MemTotal and MemAvailable)
//   Win32_Processor              one object per package of /proc/cpuinfo: Name, Manufacturer,
//                                MaxClockSpeed, CurrentClockSpeed (MHz), NumberOfCores
//   Win32_LogicalDisk            one object per mounted block device: DeviceID the mount
//                                point, Size, FreeSpace (bytes free to the caller), FileSystem
// Texts are kept as read, without the trailing newline. A value that cannot be had is null.
class LinuxWmi final : public Wmi {
public:
    explicit LinuxWmi(LinuxWmiRoots roots = LinuxWmiRoots::fromEnvironment());

    std::optional<QList<WmiObject>> query(const QString& wql, const QStringList& reads = {},
                                          QString* error = nullptr) const override;

    // The DMI value of a sysfs file name ("product_serial"): the file's text without its
    // trailing newline; for a file that exists but may not be read, the machine hive's
    // snapshot value of that name; nullopt when neither gives one.
    std::optional<QString> dmiValue(const QString& name) const;

    const LinuxWmiRoots& roots() const { return roots_; }

private:
    LinuxWmiRoots roots_;
};

}  // namespace platform
