#include "regengine/sysinfo/SysParameter.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/Versions.h"
#include "regengine/sysinfo/CpuInfo.h"
#include "regengine/sysinfo/SysInfoSources.h"
#include "regengine/transport/InetLoader.h"

#include "platform/hardware/Hardware.h"
#include "platform/telephony/Telephony.h"
#include "platform/text/Format.h"
#include "platform/version/Version.h"

namespace engine {

namespace {

const QString kUnknown = QStringLiteral("Unknown");
const QString kCpuKey = QStringLiteral("Hardware\\Description\\System\\CentralProcessor\\0");

QString machineString(const QString& path, const QString& name, qsizetype limit)
{
    RegKeyReader key;
    QString text;
    if (key.Open(platform::RootKey::LocalMachine, path) != 0 || key.ReadString(name, &text) != 0)
        return {};
    return text.left(limit);
}

QString directXVersion()
{
    RegKeyReader key;
    if (key.Open(platform::RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\DirectX")) != 0)
        return kUnknown;
    QString version;
    key.ReadString(QStringLiteral("Version"), &version);
    return version.left(100).mid(2);
}

QString cpuSpecific()
{
    QString name = machineString(kCpuKey, QStringLiteral("ProcessorNameString"), 256);
    while (!name.isEmpty() && name.front().isSpace())
        name.remove(0, 1);
    if (name.isEmpty())
        name = machineString(kCpuKey, QStringLiteral("Identifier"), 256);
    // The machine hive has no processor key on Linux; the processor's own brand text is
    // what that key held.
    if (name.isEmpty()) {
        const std::optional<platform::ProcessorInfo> cpu = SysHardware().processor();
        if (cpu)
            name = cpu->modelName.trimmed();
    }
    return name.isEmpty() ? kUnknown : name;
}

// "Yes" with at least one line, "No" with none, empty when telephony does not start.
QString hasModem()
{
    std::unique_ptr<platform::Telephony> telephony = SysTelephony();
    if (!telephony)
        return {};
    quint32 lines = 0;
    if (telephony->initialize(QStringLiteral("Veldora"), nullptr, &lines) != platform::tel::kOk)
        return {};
    telephony->shutdown();
    return lines > 0 ? QStringLiteral("Yes") : QStringLiteral("No");
}

// The line capabilities of this layer report no rate or bearer modes, so like a line
// whose capabilities fail the text stays empty unless line 0 says more.
QString modemSpeed()
{
    std::unique_ptr<platform::Telephony> telephony = SysTelephony();
    if (!telephony)
        return {};
    quint32 lines = 0;
    QString text;
    if (telephony->initialize(QStringLiteral("Veldora"), nullptr, &lines) == platform::tel::kOk && lines > 0) {
        quint32 version = 0;
        platform::LineCaps caps;
        // The line keeps no record of its rates, so the modem is asked for them.
        if (telephony->negotiateApiVersion(0, 0x10000, 0x10004, &version) == platform::tel::kOk &&
            telephony->getDevCaps(0, version, &caps) == platform::tel::kOk) {
            QString error;
            if (telephony->queryLineRates(0, &caps, &error) == platform::tel::kOk)
                text = ModemSpeedText(caps.bearerModes, caps.maxRate);
            else
                EngineTrace(QStringLiteral("MODEMSPD: ") + error);
        }
    }
    telephony->shutdown();
    return text;
}

QString network9x()
{
    InetLoader& inet = InetLoader::Instance();
    if (!inet.Load())
        return kUnknown;
    const std::optional<bool> connected = inet.IsConnected();
    return connected.value_or(false) ? QStringLiteral("Yes") : QStringLiteral("No");
}

bool familyParameter(const QString& name, bool win9x, QString* text)
{
    const std::optional<platform::MemoryInfo> memory = SysHardware().memory();
    quint64 total = 0;
    quint64 free = 0;
    const QString drive = GetSysInfoSources().systemDrive;
    if (name == u"CPUTYPE") {
        if (win9x) {
            *text = machineString(kCpuKey, QStringLiteral("VendorIdentifier"), 256);
            if (text->isEmpty())
                *text = kUnknown;
        } else {
            *text = platform::formatText(QStringLiteral("%d"), GetProcessorType());
        }
    } else if (name == u"CPUTYPESPECIFIC") {
        *text = cpuSpecific();
    } else if (name == u"CPUSPD") {
        quint32 mhz = GetCpuClockFromWmi();
        if (mhz == 0)
            mhz = GetCpuSpeedMHz();
        *text = mhz == 0 ? kUnknown : platform::formatText(QStringLiteral("%lu"), mhz);
    } else if (name == u"DISKSIZE") {
        GetDiskSpace(drive, &total, &free);
        *text = platform::formatText(QStringLiteral("%ld"), total);
    } else if (name == u"DISKSPACE") {
        GetDiskSpace(drive, &total, &free);
        *text = platform::formatText(QStringLiteral("%ld"), free);
    } else if (name == u"HASMODEM") {
        *text = hasModem();
    } else if (name == u"MODEMSPD") {
        *text = modemSpeed();
    } else if (name == u"MEMORY") {
        *text = MemoryMegabytesText(memory ? memory->totalPhysical : 0);
    } else if (name == u"PAGEFILE") {
        // The page file's total was the commit limit: memory and swap together.
        *text = MemoryMegabytesText(memory ? memory->totalPhysical + memory->totalSwap : 0);
    } else if (name == u"PRINTERNAME") {
        *text = SysHardware().defaultPrinter().value_or(QString());
    } else if (name == u"SNDCARD") {
        *text = GetHardwareDriverDesc(QStringLiteral("MEDIA"));
    } else if (name == u"SNDCARDVERS") {
        *text = GetHardwareDriverVersion(QStringLiteral("MEDIA"));
    } else if (name == u"NETWORK") {
        *text = win9x ? network9x() : QString();
    } else {
        return false;
    }
    return true;
}

}  // namespace

QString MemoryMegabytesText(quint64 bytes)
{
    return QString::number(bytes / 1048575 + 1);
}

QString ModemSpeedText(quint32 bearerModes, quint32 maxRate)
{
    if (bearerModes & platform::tel::kBearerModeMultiUse)
        return QStringLiteral("ISDN");
    if (maxRate < 28800)
        return QStringLiteral("14.4");
    if (maxRate < 33600)
        return QStringLiteral("28.8");
    if (maxRate < 56000)
        return QStringLiteral("33.6");
    if (maxRate == 56000)
        return QStringLiteral("56k");
    return QString::number(double(maxRate) / 1000.0, 'f', 1);
}

bool GetDiskSpace(const QString& path, quint64* totalMB, quint64* freeMB)
{
    *totalMB = 0;
    *freeMB = 0;
    const std::optional<platform::DiskSpace> d = SysHardware().diskSpace(path);
    if (!d)
        return false;
    *totalMB = d->totalBytes >> 20;
    *freeMB = d->freeBytes >> 20;
    return true;
}

void GetDisplayDevice(QString* adapter, QString* monitor)
{
    const std::optional<platform::DisplayDevice> d = SysHardware().displayDevice();
    *adapter = d && !d->adapter.isEmpty() ? d->adapter : kUnknown;
    *monitor = d && !d->monitor.isEmpty() ? d->monitor : kUnknown;
}

QString FindHardwareKeyByClass(const QString& className)
{
    if (className.compare(u"DISPLAY", Qt::CaseInsensitive) == 0) {
        const std::optional<platform::DisplayDevice> d = SysHardware().displayDevice();
        return d ? QStringLiteral("drm\\") + d->adapter : QString();
    }
    if (className.compare(u"MEDIA", Qt::CaseInsensitive) == 0) {
        const std::optional<platform::SoundCard> s = SysHardware().soundCard();
        return s ? QStringLiteral("asound\\") + s->name : QString();
    }
    return {};
}

QString GetHardwareDriverDesc(const QString& className)
{
    const QString key = FindHardwareKeyByClass(className);
    if (key.isEmpty())
        return kUnknown;
    return key.mid(key.indexOf(u'\\') + 1);
}

QString GetHardwareDriverVersion(const QString& className)
{
    if (IsWin9x() || FindHardwareKeyByClass(className).isEmpty())
        return kUnknown;
    QString version;
    if (className.compare(u"DISPLAY", Qt::CaseInsensitive) == 0)
        version = SysHardware().displayDevice().value_or(platform::DisplayDevice{}).driverVersion;
    else
        version = SysHardware().soundCard().value_or(platform::SoundCard{}).driverVersion;
    return version.isEmpty() ? kUnknown : version;
}

QString GetOsName(const OsVersionRecord& v, const QString& systemName)
{
    QString name;
    if (v.platformId == 1) {
        name = v.minorVersion == 0    ? QStringLiteral("95")
               : v.minorVersion == 10 ? QStringLiteral("98")
               : v.minorVersion == 90 ? QStringLiteral("Me")
                                      : QString();
    } else if (v.majorVersion == 3) {
        name = QStringLiteral("NT 3.51");
    } else if (v.majorVersion == 4) {
        name = QStringLiteral("NT 4.0");
    } else if (v.majorVersion == 5) {
        name = v.minorVersion == 0   ? QStringLiteral("2000")
               : v.minorVersion == 1 ? QStringLiteral("XP")
               : v.minorVersion == 2 ? QStringLiteral("2003")
                                     : QString();
    }
    QString text = name.isEmpty() && !systemName.isEmpty() ? systemName : QStringLiteral("Windows ") + name;
    if (!v.csdVersion.isEmpty())
        text += u' ' + v.csdVersion;
    return text;
}

QString FormatOsVersion(const OsVersionRecord& v)
{
    const quint32 build = v.platformId == 1 ? (v.buildNumber & 0xFFFF) : v.buildNumber;
    return platform::formatText(QStringLiteral("%d.%d.%d"), v.majorVersion, v.minorVersion, build);
}

void GetSysParameter(const QString& requested, QString* text, qsizetype limit)
{
    const QString name = requested.toUpper();
    const OsVersionRecord& os = GetOsVersionRecord();
    text->clear();
    if (name == u"OSHEX") {
        *text = platform::formatText(QStringLiteral("0x%2.2ld%2.2ld"), os.majorVersion, os.minorVersion);
    } else if (name == u"OSVERSTR") {
        *text = GetOsName(os, platform::systemOsVersion().name);
    } else if (name == u"OSVERNUM") {
        *text = FormatOsVersion(os);
    } else if (name == u"VIDRES") {
        const std::optional<platform::ScreenSize> s = SysHardware().screen();
        *text = platform::formatText(QStringLiteral("%ld x %ld x %ld"), s ? s->width : 0, s ? s->height : 0,
                                     s ? s->depth : 0);
    } else if (name == u"VIDCARD" || name == u"VIDMON") {
        QString adapter, monitor;
        GetDisplayDevice(&adapter, &monitor);
        *text = name == u"VIDCARD" ? adapter : monitor;
    } else if (name == u"VIDCARDVERS") {
        *text = GetHardwareDriverVersion(QStringLiteral("DISPLAY"));
    } else if (name == u"CPUVENDOR" || name == u"CPUDESC") {
        CpuInfoRecord cpu;
        GetCpuInfo(&cpu);
        *text = name == u"CPUVENDOR" ? cpu.vendor : cpu.name;
    } else if (name == u"DIRECTX") {
        *text = directXVersion();
    } else if (name == u"BROWSER") {
        *text = GetBrowserName();
    } else if (name == u"BROWSEVER") {
        *text = GetBrowserVersion();
    } else {
        const bool win9x = IsWin9x();
        EngineTrace(platform::formatText(
            win9x ? QStringLiteral("Getting 9x SYSPARAMETER %s") : QStringLiteral("Getting NT SYSPARAMETER %s"), name));
        if (!familyParameter(name, win9x, text) && win9x) {
            *text = kUnknown;
            EngineTrace(platform::formatText(QStringLiteral("Unknown SYSPARAMETER %s requested"), name));
        }
        EngineTrace(platform::formatText(win9x ? QStringLiteral("Got 9x %s: %s") : QStringLiteral("Got NT %s: %s"),
                                         name, *text));
    }
    *text = text->left(limit);
}

long RegKeyReader::Open(platform::RootKey root, const QString& path)
{
    Close();
    if (!platform::Registry::keyExists(root, path))
        return kErrorFileNotFound;
    root_ = root;
    path_ = path;
    return 0;
}

long RegKeyReader::ReadString(const QString& name, QString* text, qsizetype* length) const
{
    if (!path_)
        return 6;  // an invalid handle
    const std::optional<platform::RegValue> value = platform::Registry::value(root_, *path_, name);
    if (!value)
        return kErrorFileNotFound;
    if (value->type != platform::RegType::String && value->type != platform::RegType::ExpandString)
        return kErrorInvalidData;
    *text = value->text;
    if (length != nullptr)
        *length = value->text.size() + 1;
    return 0;
}

}  // namespace engine
