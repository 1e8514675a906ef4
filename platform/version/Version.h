#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// The operating-system version in the form Windows callers test. Linux answers as the
// NT 6 family (the newest the callers know), with the distribution's name beside it.
struct OsVersion {
    unsigned major = 6;
    unsigned minor = 1;
    unsigned build = 0;
    unsigned platformId = 2;  // the NT platform
    QString name;             // PRETTY_NAME from /etc/os-release
    QString kernel;           // the kernel release
};

// Where the version comes from; tests inject an older one.
class OsVersionSource {
public:
    virtual ~OsVersionSource() = default;
    virtual OsVersion osVersion() const = 0;
};

// This machine's version.
class SystemOsVersion final : public OsVersionSource {
public:
    OsVersion osVersion() const override;
};

OsVersion systemOsVersion();

// A kernel release's major and minor as one build number, "6.1.0-18-amd64" -> 601; 0 when
// the release does not start with them.
unsigned kernelBuildNumber(const char* release);

// The usual places of the os-release file, the first that exists wins.
QStringList defaultOsReleaseFiles();

// The variables of an os-release file (NAME, PRETTY_NAME, VERSION_ID, ...), with the shell
// quoting and escapes removed; empty when none of `files` can be read.
QHash<QString, QString> readOsRelease(const QStringList& files = defaultOsReleaseFiles());
QHash<QString, QString> parseOsRelease(const QByteArray& text);

// The version a system library reports through its version export, as the Windows callers
// ask for it by name ("shell32.dll"; case and the ".dll" ending do not matter).
struct LibraryVersion {
    unsigned major = 0;
    unsigned minor = 0;
};

// Only the libraries the callers test have an answer: the shell library answers as the one
// of the NT 6.1 system OsVersion stands for. Any other name has none, as a library that is
// missing or exports no version would.
std::optional<LibraryVersion> systemLibraryVersion(const QString& libraryName);

}  // namespace platform
