#include "platform/version/Version.h"

#include <QFile>

#include <sys/utsname.h>

namespace platform {

// Read by hand, as the locale is: a start comes here while another thread may be loading
// a library, and a thread's first regular-expression match waits for the loader.
unsigned kernelBuildNumber(const char* release)
{
    auto number = [&release](unsigned& value) {
        const char* start = release;
        for (value = 0; *release >= '0' && *release <= '9'; ++release)
            value = value * 10 + unsigned(*release - '0');
        return release != start;
    };
    unsigned major = 0;
    unsigned minor = 0;
    if (!number(major) || *release++ != '.' || !number(minor))
        return 0;
    return major * 100 + minor;
}

OsVersion systemOsVersion()
{
    OsVersion v;
    utsname u{};
    if (::uname(&u) == 0) {
        v.kernel = QString::fromLocal8Bit(u.release);
        // The build number carries the kernel's major and minor.
        v.build = kernelBuildNumber(u.release);
    }
    v.name = readOsRelease().value(QStringLiteral("PRETTY_NAME"));
    if (v.name.isEmpty())
        v.name = QStringLiteral("Linux");
    return v;
}

OsVersion SystemOsVersion::osVersion() const
{
    return systemOsVersion();
}

QStringList defaultOsReleaseFiles()
{
    return {QStringLiteral("/etc/os-release"), QStringLiteral("/usr/lib/os-release")};
}

QHash<QString, QString> readOsRelease(const QStringList& files)
{
    for (const QString& path : files) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            return parseOsRelease(f.readAll());
    }
    return {};
}

// The file is a list of shell assignments: a value may be bare, or in single quotes (taken
// as it stands) or double quotes (where a backslash escapes $ " \ and `).
QHash<QString, QString> parseOsRelease(const QByteArray& text)
{
    QHash<QString, QString> vars;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (line.isEmpty() || line.startsWith('#') || eq <= 0)
            continue;
        const QByteArray name = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        QByteArray out;
        char quote = 0;
        for (qsizetype i = 0; i < value.size(); ++i) {
            const char c = value[i];
            if (quote == 0 && (c == '"' || c == '\'')) {
                quote = c;
            } else if (quote != 0 && c == quote) {
                quote = 0;
            } else if (quote != '\'' && c == '\\' && i + 1 < value.size()) {
                out += value[++i];
            } else {
                out += c;
            }
        }
        vars.insert(QString::fromUtf8(name), QString::fromUtf8(out));
    }
    return vars;
}

std::optional<LibraryVersion> systemLibraryVersion(const QString& libraryName)
{
    QString name = libraryName.section(u'\\', -1).section(u'/', -1).toLower();
    if (!name.contains(u'.'))
        name += QStringLiteral(".dll");
    // Windows 7's shell library is 6.1; the callers only ask whether it is 4.71 or newer.
    if (name == QStringLiteral("shell32.dll"))
        return LibraryVersion{6, 1};
    return std::nullopt;
}

}  // namespace platform
