#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace platform {

// The primary screen in pixels and its colour depth in bits per pixel.
struct ScreenSize {
    int width = 0;
    int height = 0;
    int depth = 0;
};

// The first processor as the kernel decoded it (family and model by the processor's own
// rules, extended fields included).
struct ProcessorInfo {
    QString vendor;     // "GenuineIntel", "AuthenticAMD"
    QString modelName;  // the brand text
    int family = 0;
    int model = 0;
    int stepping = 0;
    QStringList flags;  // "mmx", "sse", "sse2", "3dnow", "tsc", ...
    quint32 mhz = 0;    // the current clock, 0 when not reported
};

// Bytes, 64-bit: machines hold more than 4 GiB.
struct MemoryInfo {
    quint64 totalPhysical = 0;
    quint64 totalSwap = 0;
};

struct DiskSpace {
    quint64 totalBytes = 0;
    quint64 freeBytes = 0;  // free to the caller, not to root
};

// The first display adapter and the first monitor connected to it.
struct DisplayDevice {
    QString adapter;        // the driver and the PCI ids, "i915 8086:3e92"
    QString monitor;        // the monitor's EDID name, else its maker and product code
    QString driver;         // the kernel driver, "i915"
    QString driverVersion;  // the module's version, else the kernel release
};

struct SoundCard {
    QString name;           // the card's long name, "HDA Intel PCH"
    QString driverVersion;  // the sound system's driver version, "k6.1.0"
};

// What the engine's system items need of the machine's hardware. Each answer is nullopt
// when the machine does not tell.
class Hardware {
public:
    virtual ~Hardware() = default;
    // The primary screen; nullopt without a display connection.
    virtual std::optional<ScreenSize> screen() const = 0;
    virtual std::optional<ProcessorInfo> processor() const = 0;
    virtual std::optional<MemoryInfo> memory() const = 0;
    // The file system holding `path`.
    virtual std::optional<DiskSpace> diskSpace(const QString& path) const = 0;
    virtual std::optional<DisplayDevice> displayDevice() const = 0;
    virtual std::optional<SoundCard> soundCard() const = 0;
    // The default print destination's name.
    virtual std::optional<QString> defaultPrinter() const = 0;
};

// This machine's hardware, over the roots the environment gives.
std::shared_ptr<Hardware> systemHardware();

}  // namespace platform
