#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace platform {
class BrowserSource;
class VersionBlock;
}  // namespace platform

namespace engine {

// The engine's readings of the machine: the operating-system version, system library
// versions, version strings, the default browser, and resources by language.

// The process's operating-system record: the fields the engine reads.
struct OsVersionRecord {
    quint32 majorVersion = 0;
    quint32 minorVersion = 0;
    quint32 buildNumber = 0;
    quint32 platformId = 0;  // 1 the Windows 95 family, 2 the NT family
    QString csdVersion;      // the service-pack text, "Service Pack 2"; empty here
};

// Fills the cached record from the system on the first call; later calls do nothing.
void InitOsVersion();
// Makes `record` the cached one, as though the system had reported it.
void SetOsVersionRecord(const OsVersionRecord& record);
// The cached record, filled first when no one has.
const OsVersionRecord& GetOsVersionRecord();

// The cached platform is the 95 family, respectively the NT family.
bool IsWin9x();
bool IsWinNT();
// The running system is at least the given version of its own family: major and minor on the
// 95 family; major, minor and service pack on the NT family. False on any other platform.
bool IsOsAtLeast(quint32 major9x, quint32 minor9x, quint32 majorNT, quint32 minorNT, quint32 servicePackNT);

// major << 16 | minor of the named system library ("shell32.dll"); 0 when the library has
// no version to report.
quint32 GetDllVersion(const QString& libraryName);

// The string value `name` of a version block, from the first of its translations 000004b0,
// 040904b0, 000004e4 and 040904e4 that has it; nullopt when none does.
std::optional<QString> GetFileVersionString(const platform::VersionBlock& block, const QString& name);

// The default browser's description, "Unknown browser" and "Unknown version" until found.
// Each runs DetectBrowser first.
QString GetBrowserName();
QString GetBrowserVersion();
// Finds the description once; a run that finds nothing leaves the defaults and the next
// call tries again.
void DetectBrowser();
// Where DetectBrowser looks (not owned); nullptr for this desktop's settings. Forgets a
// description found before.
void SetBrowserSource(const platform::BrowserSource* source);

// The platform of a fresh reading of the system (the record is not consulted).
quint32 GetPlatformId();
// `code` when it is not 0, else the last error of the calling thread (errno).
quint32 ErrorOrLastError(quint32 code);

// The launcher's resource `name` + language of `type`, trying the whole language code, then
// its first two letters, then "EN"; nullopt when none exists. `found` gets the name that did.
std::optional<QByteArray> FindLocalizedResource(const QString& name, const QString& type, const QString& language,
                                                QString* found = nullptr);

}  // namespace engine
