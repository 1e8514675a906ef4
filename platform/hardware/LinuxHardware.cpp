#include "platform/hardware/LinuxHardware.h"

#include "platform/hardware/Edid.h"
#include "platform/hardware/HardwareText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <sys/statvfs.h>

#include <algorithm>

namespace platform {

namespace {

std::optional<QByteArray> readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Files of /proc and /sys report no size, so read up to the limit.
    QByteArray data = file.read(kMaxHardwareTextBytes);
    return data;
}

QString readLine(const QString& path)
{
    const std::optional<QByteArray> data = readSmallFile(path);
    if (!data)
        return {};
    return QString::fromUtf8(data->left(data->indexOf('\n'))).trimmed();
}

// card0, card1 ... before their connectors (card0-HDMI-A-1), in number order.
QStringList drmCards(const QString& drm)
{
    QStringList cards;
    for (const QString& name : QDir(drm).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        if (name.startsWith(u"card") && !name.contains(u'-'))
            cards << name;
    }
    std::sort(cards.begin(), cards.end(),
              [](const QString& a, const QString& b) { return a.mid(4).toInt() < b.mid(4).toInt(); });
    return cards;
}

QString hexId(const QString& text)
{
    QString t = text;
    if (t.startsWith(u"0x"))
        t = t.mid(2);
    return t;
}

}  // namespace

LinuxHardwareRoots LinuxHardwareRoots::fromEnvironment()
{
    LinuxHardwareRoots roots;
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        roots.cupsFiles << home + QStringLiteral("/.cups/lpoptions");
    roots.cupsFiles << QStringLiteral("/etc/cups/lpoptions") << QStringLiteral("/etc/cups/printers.conf");
    roots.printerVariable = qEnvironmentVariable("LPDEST");
    if (roots.printerVariable.isEmpty())
        roots.printerVariable = qEnvironmentVariable("PRINTER");
    return roots;
}

LinuxHardware::LinuxHardware(LinuxHardwareRoots roots) : roots_(std::move(roots)) {}

std::optional<ScreenSize> LinuxHardware::screen() const
{
    if (qGuiApp == nullptr)
        return std::nullopt;
    const QScreen* s = QGuiApplication::primaryScreen();
    if (s == nullptr)
        return std::nullopt;
    // Device pixels, as the screen metrics the callers knew were.
    const QSize size = s->geometry().size() * s->devicePixelRatio();
    return ScreenSize{size.width(), size.height(), s->depth()};
}

std::optional<ProcessorInfo> LinuxHardware::processor() const
{
    const std::optional<QByteArray> text = readSmallFile(roots_.proc + QStringLiteral("/cpuinfo"));
    return text ? parseCpuInfo(*text) : std::nullopt;
}

std::optional<MemoryInfo> LinuxHardware::memory() const
{
    const std::optional<QByteArray> text = readSmallFile(roots_.proc + QStringLiteral("/meminfo"));
    return text ? parseMemInfo(*text) : std::nullopt;
}

std::optional<DiskSpace> LinuxHardware::diskSpace(const QString& path) const
{
    struct statvfs s {};
    if (statvfs(QFile::encodeName(path).constData(), &s) != 0)
        return std::nullopt;
    const quint64 unit = s.f_frsize != 0 ? s.f_frsize : s.f_bsize;
    return DiskSpace{quint64(s.f_blocks) * unit, quint64(s.f_bavail) * unit};
}

std::optional<DisplayDevice> LinuxHardware::displayDevice() const
{
    const QString drm = roots_.sys + QStringLiteral("/class/drm");
    const QStringList cards = drmCards(drm);
    if (cards.isEmpty())
        return std::nullopt;
    const QString card = cards.first();
    const QString device = drm + u'/' + card + QStringLiteral("/device");
    DisplayDevice d;
    d.driver = QFileInfo(QFileInfo(device + QStringLiteral("/driver")).symLinkTarget()).fileName();
    const QString vendor = hexId(readLine(device + QStringLiteral("/vendor")));
    const QString product = hexId(readLine(device + QStringLiteral("/device")));
    d.adapter = d.driver.isEmpty() ? card : d.driver;
    if (!vendor.isEmpty() && !product.isEmpty())
        d.adapter += u' ' + vendor + u':' + product;
    if (!d.driver.isEmpty())
        d.driverVersion = readLine(roots_.sys + QStringLiteral("/module/") + d.driver + QStringLiteral("/version"));
    // Drivers built into the kernel carry the kernel's version.
    if (d.driverVersion.isEmpty())
        d.driverVersion = readLine(roots_.proc + QStringLiteral("/sys/kernel/osrelease"));

    QStringList connectors = QDir(drm).entryList({card + QStringLiteral("-*")},
                                                 QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& connector : connectors) {
        const QString folder = drm + u'/' + connector;
        if (readLine(folder + QStringLiteral("/status")) != u"connected")
            continue;
        const std::optional<QByteArray> edid = readSmallFile(folder + QStringLiteral("/edid"));
        const std::optional<EdidInfo> info = edid ? parseEdid(*edid) : std::nullopt;
        d.monitor = info ? edidDisplayName(*info) : connector.mid(card.size() + 1);
        break;
    }
    return d;
}

std::optional<SoundCard> LinuxHardware::soundCard() const
{
    const std::optional<QByteArray> cards = readSmallFile(roots_.proc + QStringLiteral("/asound/cards"));
    const std::optional<QString> name = cards ? parseSoundCards(*cards) : std::nullopt;
    if (!name)
        return std::nullopt;
    const std::optional<QByteArray> version = readSmallFile(roots_.proc + QStringLiteral("/asound/version"));
    return SoundCard{*name, version ? parseSoundVersion(*version).value_or(QString()) : QString()};
}

std::optional<QString> LinuxHardware::defaultPrinter() const
{
    if (!roots_.printerVariable.isEmpty())
        return roots_.printerVariable;
    for (const QString& path : roots_.cupsFiles) {
        const std::optional<QByteArray> text = readSmallFile(path);
        if (!text)
            continue;
        if (std::optional<QString> name = parseCupsDefault(*text))
            return name;
    }
    return std::nullopt;
}

}  // namespace platform
