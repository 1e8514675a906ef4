#pragma once

#include "platform/hardware/Hardware.h"

#include <QString>
#include <QStringList>

namespace platform {

// Where the Linux hardware is read; tests point each root at fixtures.
struct LinuxHardwareRoots {
    QString proc = QStringLiteral("/proc");  // cpuinfo, meminfo, asound/, sys/kernel/osrelease
    QString sys = QStringLiteral("/sys");    // class/drm, module/<driver>/version
    // CUPS's default destination: the user's lpoptions, the machine's, then the server's
    // printers.conf; the first that names one wins.
    QStringList cupsFiles;
    // LPDEST or PRINTER, which CUPS puts before its files.
    QString printerVariable;

    static LinuxHardwareRoots fromEnvironment();
};

// The hardware of a Linux machine: the screen from Qt, the processor and memory from /proc,
// the display adapter and monitor from /sys/class/drm (the first card, its first connected
// connector's EDID), the sound card from /proc/asound, disks by statvfs and the printer
// from CUPS's configuration.
class LinuxHardware final : public Hardware {
public:
    explicit LinuxHardware(LinuxHardwareRoots roots = LinuxHardwareRoots::fromEnvironment());

    std::optional<ScreenSize> screen() const override;
    std::optional<ProcessorInfo> processor() const override;
    std::optional<MemoryInfo> memory() const override;
    std::optional<DiskSpace> diskSpace(const QString& path) const override;
    std::optional<DisplayDevice> displayDevice() const override;
    std::optional<SoundCard> soundCard() const override;
    std::optional<QString> defaultPrinter() const override;

private:
    LinuxHardwareRoots roots_;
};

}  // namespace platform
