#pragma once

#include "platform/registry/Registry.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace engine {

struct OsVersionRecord;

// The script's SYSPARAMETER answers: one named fact about the machine.

// The text for `name` (any letter case), cut to `limit` characters. The names every
// platform answers alike come first, then those of the platform's family.
void GetSysParameter(const QString& name, QString* text, qsizetype limit = 200);

// Total and free-to-the-caller megabytes of the file system holding `path`; false when it
// cannot be asked.
bool GetDiskSpace(const QString& path, quint64* totalMB, quint64* freeMB);
// The first display adapter and its first monitor; "Unknown" each when there is none.
void GetDisplayDevice(QString* adapter, QString* monitor);
// Where the first device of a hardware class ("DISPLAY", "MEDIA") was found; empty when
// there is none.
QString FindHardwareKeyByClass(const QString& className);
// The class's driver description and version; "Unknown" when no device of the class is
// found (and the version on the 95 family).
QString GetHardwareDriverDesc(const QString& className);
QString GetHardwareDriverVersion(const QString& className);
// "Windows " and the version's name, then the service-pack text; a version the table does
// not name (as the record of this system) gives `systemName` when there is one.
QString GetOsName(const OsVersionRecord& version, const QString& systemName = {});
QString FormatOsVersion(const OsVersionRecord& version);
// The MODEMSPD text of a line's bearer modes and maximum rate in bits per second.
QString ModemSpeedText(quint32 bearerModes, quint32 maxRate);
// "%d" of bytes / 1048575 + 1, in 64 bits: MEMORY and PAGEFILE.
QString MemoryMegabytesText(quint64 bytes);

// One open registry key, read for text values.
class RegKeyReader {
public:
    static constexpr long kErrorFileNotFound = 2;
    static constexpr long kErrorInvalidData = 13;

    // Opens `path` under `root`, closing a key held before; 0 or kErrorFileNotFound.
    long Open(platform::RootKey root, const QString& path);
    // A text value: 0, kErrorFileNotFound, or kErrorInvalidData for a value that is no
    // text; `length` gets the characters with the terminator.
    long ReadString(const QString& name, QString* text, qsizetype* length = nullptr) const;
    void Close() { path_.reset(); }
    bool IsOpen() const { return path_.has_value(); }

private:
    platform::RootKey root_ = platform::RootKey::LocalMachine;
    std::optional<QString> path_;
};

}  // namespace engine
