#pragma once

#include <QString>

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

}  // namespace platform
