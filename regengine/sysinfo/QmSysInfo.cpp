#include "regengine/sysinfo/QmSysInfo.h"

#include "regengine/core/Versions.h"
#include "regengine/sysinfo/CpuInfo.h"
#include "regengine/sysinfo/SysInfoSources.h"
#include "regengine/transport/ComLineMgr.h"

#include "platform/hardware/Hardware.h"
#include "platform/telephony/Telephony.h"
#include "platform/text/Format.h"

#include <QDir>

#include <array>

namespace engine {

namespace {

// Item names in item order; the lookup takes the first match.
constexpr std::array<const char16_t*, 12> kItemNames = {u"CPUM", u"MNRZ", u"????", u"CTYP", u"WP04", u"WP02",
                                                        u"WP03", u"WP01", u"OSYS", u"????", u"HDSZ", u"????"};

std::optional<platform::DiskSpace> currentDrive()
{
    const QString drive = GetSysInfoSources().currentDrive;
    return SysHardware().diskSpace(drive.isEmpty() ? QDir::currentPath() : drive);
}

bool anyModemLine()
{
    std::unique_ptr<platform::Telephony> telephony = SysTelephony();
    if (!telephony)
        return false;
    ComLineMgr lines(telephony.get());
    qint32 status = 0;
    const bool opened = lines.OpenLine(&status, -1);
    lines.Close();
    return opened;
}

}  // namespace

int QmSysInfo::ItemForName(const QString& name)
{
    for (int i = 0; i < int(kItemNames.size()); ++i) {
        if (name == QStringView(kItemNames[i]))
            return i;
    }
    return -1;
}

QString QmSysInfo::DiskSizeClass(quint64 totalBytes)
{
    // Decimal thousands of binary kilobytes, as the classes were always drawn; each class
    // starts where the one below ends.
    if (totalBytes < 1024000000ull)
        return QStringLiteral("less than 1 GB");
    if (totalBytes < 2048000000ull)
        return QStringLiteral("1GB to 2GB");
    if (totalBytes < 4096000000ull)
        return QStringLiteral("2GB to 4GB");
    return QStringLiteral("over 4GB");
}

QString QmSysInfo::FreeSpaceText(quint64 freeBytes)
{
    return QString::number(freeBytes >> 10) + QStringLiteral(" KB");
}

void QmSysInfo::GetItem(int item, quint32, QString* text) const
{
    switch (item) {
    case 0:
    case 2: *text = no_; break;
    case 1: {
        const std::optional<platform::ScreenSize> s = SysHardware().screen();
        *text = platform::formatText(QStringLiteral("%i x %i"), s ? s->width : 0, s ? s->height : 0);
        break;
    }
    case 3: *text = platform::formatText(QStringLiteral("%i"), GetProcessorType()); break;
    case 4:
    case 5: *text = yes_; break;
    case 6: *text = SysHardware().defaultPrinter() ? yes_ : no_; break;
    case 7: *text = anyModemLine() ? yes_ : no_; break;
    case 8:
        if (IsWin9x())
            *text =
                GetOsVersionRecord().minorVersion != 0 ? QStringLiteral("Windows 98") : QStringLiteral("Windows 95");
        else
            *text = QStringLiteral("Windows NT");
        break;
    case 9: *text = GetOsVersionRecord().csdVersion; break;
    case 10: {
        const std::optional<platform::DiskSpace> d = currentDrive();
        *text = d ? DiskSizeClass(d->totalBytes) : QString();
        break;
    }
    case 11: {
        const std::optional<platform::DiskSpace> d = currentDrive();
        *text = d ? FreeSpaceText(d->freeBytes) : QString();
        break;
    }
    default: *text = QStringLiteral("default Info on unspecified Item"); break;
    }
}

}  // namespace engine
