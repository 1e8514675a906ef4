#pragma once

#include "platform/hardware/Hardware.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Readers of the kernel's and CUPS's text files. Each takes the file's bytes as they are
// and never trusts their shape: a missing or malformed field leaves its default.

// Larger files are not read: the biggest of these is /proc/cpuinfo of a many-core machine.
constexpr qint64 kMaxHardwareTextBytes = 4 << 20;

// The first processor of /proc/cpuinfo (the lines before the first empty one); nullopt
// when it names no vendor.
std::optional<ProcessorInfo> parseCpuInfo(const QByteArray& text);
// MemTotal and SwapTotal of /proc/meminfo (kilobytes there, bytes here); nullopt without
// MemTotal.
std::optional<MemoryInfo> parseMemInfo(const QByteArray& text);
// The long name of the first card of /proc/asound/cards
// (" 0 [PCH            ]: HDA-Intel - HDA Intel PCH"); nullopt when there is none.
std::optional<QString> parseSoundCards(const QByteArray& text);
// The version of /proc/asound/version ("... Driver Version k6.1.0."); nullopt without one.
std::optional<QString> parseSoundVersion(const QByteArray& text);
// The destination of a "Default <name>[/<instance>]" line of an lpoptions file, or of a
// "<DefaultPrinter <name>>" section of printers.conf; nullopt when there is none.
std::optional<QString> parseCupsDefault(const QByteArray& text);

}  // namespace platform
