#include "regengine/core/Versions.h"

#include "platform/resources/Resources.h"
#include "platform/text/Format.h"
#include "platform/version/BrowserSource.h"
#include "platform/version/Version.h"
#include "platform/version/XdgBrowserSource.h"

#include <QRegularExpression>

#include <cerrno>

namespace engine {

namespace {

struct OsVersionCache {
    OsVersionRecord record;
    bool filled = false;
};

OsVersionCache& osCache()
{
    static OsVersionCache cache;
    return cache;
}

struct BrowserCache {
    QString name = QStringLiteral("Unknown browser");
    QString version = QStringLiteral("Unknown version");
    bool found = false;
    const platform::BrowserSource* source = nullptr;
};

BrowserCache& browserCache()
{
    static BrowserCache cache;
    return cache;
}

constexpr quint32 kPlatformWin9x = 1;
constexpr quint32 kPlatformWinNT = 2;

// The service pack as the record's text gives it ("Service Pack %d"); 0 when it does not.
quint32 servicePackNumber(const QString& csd)
{
    static const QRegularExpression pattern(QStringLiteral("^Service\\s*Pack\\s*([+-]?\\d+)"));
    const auto m = pattern.match(csd);
    return m.hasMatch() ? quint32(m.captured(1).toLongLong()) : 0;
}

}  // namespace

void InitOsVersion()
{
    OsVersionCache& cache = osCache();
    if (cache.filled)
        return;
    const platform::OsVersion v = platform::systemOsVersion();
    cache.record = OsVersionRecord{v.major, v.minor, v.build, v.platformId, QString()};
    cache.filled = true;
}

void SetOsVersionRecord(const OsVersionRecord& record)
{
    osCache().record = record;
    osCache().filled = true;
}

const OsVersionRecord& GetOsVersionRecord()
{
    InitOsVersion();
    return osCache().record;
}

// Filled on first use, so that a caller who did not run InitOsVersion is not told that the
// system is neither family.
bool IsWin9x()
{
    return GetOsVersionRecord().platformId == kPlatformWin9x;
}
bool IsWinNT()
{
    return GetOsVersionRecord().platformId == kPlatformWinNT;
}

bool IsOsAtLeast(quint32 major9x, quint32 minor9x, quint32 majorNT, quint32 minorNT, quint32 servicePackNT)
{
    const OsVersionRecord& v = GetOsVersionRecord();
    if (v.platformId == kPlatformWin9x)
        return v.majorVersion > major9x || (v.majorVersion == major9x && v.minorVersion >= minor9x);
    if (v.platformId != kPlatformWinNT)
        return false;
    if (v.majorVersion != majorNT)
        return v.majorVersion > majorNT;
    if (v.minorVersion != minorNT)
        return v.minorVersion > minorNT;
    return quint16(servicePackNumber(v.csdVersion)) >= quint16(servicePackNT);
}

quint32 GetDllVersion(const QString& libraryName)
{
    const auto v = platform::systemLibraryVersion(libraryName);
    if (!v)
        return 0;
    return (quint32(v->major) << 16) | (quint32(v->minor) & 0xffff);
}

std::optional<QString> GetFileVersionString(const platform::VersionBlock& block, const QString& name)
{
    for (const char* translation : {"000004b0", "040904b0", "000004e4", "040904e4"}) {
        const QString path = QStringLiteral("\\StringFileInfo\\%1\\%2").arg(QLatin1String(translation), name);
        // A path cut to the buffer would name some other value.
        if (path.size() > 100)
            return std::nullopt;
        if (auto value = block.queryValue(path))
            return value;
    }
    return std::nullopt;
}

void SetBrowserSource(const platform::BrowserSource* source)
{
    browserCache() = BrowserCache{};
    browserCache().source = source;
}

void DetectBrowser()
{
    BrowserCache& cache = browserCache();
    if (cache.found)
        return;
    std::optional<platform::XdgBrowserSource> desktop;
    if (!cache.source)
        desktop.emplace();
    const platform::BrowserSource& source = cache.source ? *cache.source : *desktop;
    const auto executable = source.httpHandlerExecutable();
    if (!executable)
        return;
    const auto block = source.httpHandlerVersionInfo();
    if (!block)
        return;
    if (const auto description = GetFileVersionString(*block, QStringLiteral("FileDescription"))) {
        cache.name = description->left(260);
    } else {
        const qsizetype cut = qMax(executable->lastIndexOf(u'/'), executable->lastIndexOf(u'\\'));
        cache.name = platform::formatText(QStringLiteral("Unknown Browser (%s)"), executable->mid(cut + 1)).left(260);
    }
    if (const auto version = GetFileVersionString(*block, QStringLiteral("ProductVersion")))
        cache.version = version->left(99);
    cache.found = true;
}

QString GetBrowserName()
{
    DetectBrowser();
    return browserCache().name;
}

QString GetBrowserVersion()
{
    DetectBrowser();
    return browserCache().version;
}

quint32 GetPlatformId()
{
    return platform::systemOsVersion().platformId;
}

quint32 ErrorOrLastError(quint32 code)
{
    return code != 0 ? code : quint32(errno);
}

std::optional<QByteArray> FindLocalizedResource(const QString& name, const QString& type, const QString& language,
                                                QString* found)
{
    return platform::findLocalizedResource(QStringLiteral("launcher"), type, name, language, found);
}

}  // namespace engine
