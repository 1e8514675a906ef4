#include "platform/version/Version.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/utsname.h>

namespace platform {

OsVersion systemOsVersion()
{
    OsVersion v;
    utsname u {};
    if (::uname(&u) == 0) {
        v.kernel = QString::fromLocal8Bit(u.release);
        // The build number carries the kernel's major and minor: 6.1 -> 601.
        const auto m = QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)")).match(v.kernel);
        if (m.hasMatch())
            v.build = m.captured(1).toUInt() * 100 + m.captured(2).toUInt();
    }
    QFile f(QStringLiteral("/etc/os-release"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("PRETTY_NAME=")) {
                QByteArray value = line.mid(12).trimmed();
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\''))
                    value = value.mid(1, value.size() - 2);
                v.name = QString::fromUtf8(value);
            }
        }
    }
    if (v.name.isEmpty())
        v.name = QStringLiteral("Linux");
    return v;
}

OsVersion SystemOsVersion::osVersion() const { return systemOsVersion(); }

}  // namespace platform
