#include "platform/wmi/LinuxWmi.h"

#include "platform/registry/Registry.h"
#include "platform/version/Version.h"
#include "platform/wmi/WqlQuery.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {
namespace {

using Row = QVariantList;

// The columns a query reads (its properties and its condition), one bit each by position.
using Columns = quint64;

bool wants(Columns columns, int column)
{
    return (columns >> column) & 1;
}

struct WmiClass {
    QString name;
    QStringList properties;
    // Values in the order of `properties`; a column not in the set may be left null.
    std::function<QList<Row>(const LinuxWmi&, Columns)> rows;
};

// Reads a whole file by its descriptor, so that the caller sees why an open failed.
std::optional<QByteArray> readFile(const QString& path, int* error = nullptr)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno;
        return std::nullopt;
    }
    QByteArray data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = errno;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

QVariant text(const std::optional<QString>& v)
{
    return v ? QVariant(*v) : QVariant();
}

QString firstLine(const QByteArray& data)
{
    return QString::fromUtf8(data.left(data.indexOf('\n')));
}

// /proc/meminfo in kilobytes by field name.
QHash<QByteArray, quint64> memInfo(const LinuxWmi& wmi)
{
    QHash<QByteArray, quint64> out;
    const auto data = readFile(wmi.roots().proc + QStringLiteral("/meminfo"));
    if (!data)
        return out;
    for (const QByteArray& line : data->split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        bool ok = false;
        const quint64 kb = line.mid(colon + 1).trimmed().split(' ').value(0).toULongLong(&ok);
        if (ok)
            out.insert(line.left(colon), kb);
    }
    return out;
}

QVariant memKb(const QHash<QByteArray, quint64>& mem, const char* field)
{
    const auto it = mem.constFind(field);
    return it == mem.cend() ? QVariant() : QVariant::fromValue<quint64>(*it);
}

using CpuBlock = QHash<QString, QString>;

// The processors of /proc/cpuinfo grouped by package ("physical id"), in the order the
// packages first appear. Blocks without a "processor" line (summaries) are left out.
QList<QList<CpuBlock>> cpuPackages(const LinuxWmi& wmi)
{
    QList<QList<CpuBlock>> packages;
    const auto data = readFile(wmi.roots().proc + QStringLiteral("/cpuinfo"));
    if (!data)
        return packages;
    QStringList order;
    QHash<QString, QList<CpuBlock>> byId;
    auto flush = [&](CpuBlock& block) {
        if (block.contains(QStringLiteral("processor"))) {
            const QString id = block.value(QStringLiteral("physical id"), QStringLiteral("0"));
            if (!byId.contains(id))
                order << id;
            byId[id] << block;
        }
        block.clear();
    };
    CpuBlock block;
    for (const QByteArray& raw : data->split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.trimmed().isEmpty()) {
            flush(block);
            continue;
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0)
            block.insert(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    flush(block);
    for (const QString& id : order)
        packages << byId.value(id);
    return packages;
}

// A cpufreq reading of one processor, in MHz.
std::optional<quint32> cpuFreqMhz(const LinuxWmi& wmi, const QString& cpu, const char* file)
{
    const auto data = readFile(wmi.roots().sys +
                               QStringLiteral("/devices/system/cpu/cpu%1/cpufreq/%2").arg(cpu, QLatin1String(file)));
    bool ok = false;
    const quint64 khz = data ? data->trimmed().toULongLong(&ok) : 0;
    if (!ok)
        return std::nullopt;
    return quint32((khz + 500) / 1000);
}

QString cpuArchitecture()
{
    return QSysInfo::currentCpuArchitecture();
}

QString systemType()
{
    const QString arch = cpuArchitecture();
    if (arch == QLatin1String("x86_64"))
        return QStringLiteral("x64-based PC");
    if (arch == QLatin1String("i386"))
        return QStringLiteral("X86-based PC");
    if (arch == QLatin1String("arm64"))
        return QStringLiteral("ARM64-based PC");
    return arch + QStringLiteral("-based PC");
}

QString osArchitecture()
{
    const QString arch = cpuArchitecture();
    return arch.contains(QLatin1String("64")) || arch == QLatin1String("s390x") ? QStringLiteral("64-bit")
                                                                                : QStringLiteral("32-bit");
}

// sysfs writes the BIOS date as MM/DD/YYYY; WMI gives dates in the CIM form.
QVariant cimDate(const std::optional<QString>& date)
{
    if (!date)
        return {};
    const auto m = QRegularExpression(QStringLiteral("^(\\d{2})/(\\d{2})/(\\d{4})$")).match(*date);
    if (!m.hasMatch())
        return *date;
    return m.captured(3) + m.captured(1) + m.captured(2) + QStringLiteral("000000.000000+000");
}

// Mount points in /proc/self/mounts write space, tab, newline and backslash as octal escapes.
QString unescapeMountField(const QByteArray& field)
{
    QByteArray out;
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
            octal(field[i + 3])) {
            out += char(field.mid(i + 1, 3).toInt(nullptr, 8));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return QFile::decodeName(out);
}

// cpuinfo, meminfo and the host name are read only for the columns asked for: the model
// alone is asked for at every login.
QList<Row> computerSystem(const LinuxWmi& wmi, Columns columns)
{
    QVariant host, packages, memory;
    if (wants(columns, 2)) {
        if (const auto name = readFile(wmi.roots().proc + QStringLiteral("/sys/kernel/hostname")))
            host = firstLine(*name);
    }
    if (wants(columns, 3)) {
        if (const qsizetype n = cpuPackages(wmi).size(); n > 0)
            packages = QVariant::fromValue<quint32>(quint32(n));
    }
    if (wants(columns, 5)) {
        const auto mem = memInfo(wmi);
        if (const auto total = mem.constFind("MemTotal"); total != mem.cend())
            memory = QVariant::fromValue<quint64>(*total * 1024);
    }
    return {{text(wmi.dmiValue(QStringLiteral("sys_vendor"))), text(wmi.dmiValue(QStringLiteral("product_name"))), host,
             packages, systemType(), memory}};
}

QList<Row> bios(const LinuxWmi& wmi, Columns)
{
    const QVariant version = text(wmi.dmiValue(QStringLiteral("bios_version")));
    return {{text(wmi.dmiValue(QStringLiteral("product_serial"))), text(wmi.dmiValue(QStringLiteral("bios_vendor"))),
             version, cimDate(wmi.dmiValue(QStringLiteral("bios_date"))), version}};
}

QList<Row> baseBoard(const LinuxWmi& wmi, Columns)
{
    return {{text(wmi.dmiValue(QStringLiteral("board_vendor"))), text(wmi.dmiValue(QStringLiteral("board_name"))),
             text(wmi.dmiValue(QStringLiteral("board_serial")))}};
}

QList<Row> systemEnclosure(const LinuxWmi& wmi, Columns)
{
    return {
        {text(wmi.dmiValue(QStringLiteral("chassis_serial"))), text(wmi.dmiValue(QStringLiteral("chassis_vendor")))}};
}

QList<Row> computerSystemProduct(const LinuxWmi& wmi, Columns)
{
    return {{text(wmi.dmiValue(QStringLiteral("product_serial"))), text(wmi.dmiValue(QStringLiteral("product_name"))),
             text(wmi.dmiValue(QStringLiteral("sys_vendor"))), text(wmi.dmiValue(QStringLiteral("product_uuid"))),
             text(wmi.dmiValue(QStringLiteral("product_version")))}};
}

QList<Row> operatingSystem(const LinuxWmi& wmi, Columns)
{
    const auto release = readOsRelease(wmi.roots().osRelease);
    QString caption = release.value(QStringLiteral("PRETTY_NAME"));
    if (caption.isEmpty())
        caption = release.value(QStringLiteral("NAME"), QStringLiteral("Linux"));
    const QString versionId = release.value(QStringLiteral("VERSION_ID"));
    const auto kernel = readFile(wmi.roots().proc + QStringLiteral("/sys/kernel/osrelease"));
    const auto mem = memInfo(wmi);
    const QVariant freeKb = mem.contains("MemAvailable") ? memKb(mem, "MemAvailable") : memKb(mem, "MemFree");
    return {{caption, versionId.isEmpty() ? QVariant() : QVariant(versionId),
             kernel ? QVariant(firstLine(*kernel)) : QVariant(), osArchitecture(), memKb(mem, "MemTotal"), freeKb}};
}

QList<Row> processors(const LinuxWmi& wmi, Columns)
{
    QList<Row> rows;
    for (const QList<CpuBlock>& package : cpuPackages(wmi)) {
        const CpuBlock& first = package.first();
        const QString cpu = first.value(QStringLiteral("processor"));
        bool ok = false;
        const double mhz = first.value(QStringLiteral("cpu MHz")).toDouble(&ok);
        std::optional<quint32> current;
        if (ok && mhz > 0)
            current = quint32(std::lround(mhz));
        else
            current = cpuFreqMhz(wmi, cpu, "scaling_cur_freq");
        std::optional<quint32> maximum = cpuFreqMhz(wmi, cpu, "cpuinfo_max_freq");
        if (!maximum)
            maximum = current;
        quint32 cores = first.value(QStringLiteral("cpu cores")).toUInt(&ok);
        if (!ok || cores == 0) {
            QStringList coreIds;
            for (const CpuBlock& b : package)
                if (b.contains(QStringLiteral("core id")) && !coreIds.contains(b.value(QStringLiteral("core id"))))
                    coreIds << b.value(QStringLiteral("core id"));
            cores = quint32(coreIds.isEmpty() ? package.size() : coreIds.size());
        }
        auto orNull = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
        auto number = [](const std::optional<quint32>& v) { return v ? QVariant::fromValue(*v) : QVariant(); };
        rows.append({orNull(first.value(QStringLiteral("model name"))),
                     orNull(first.value(QStringLiteral("vendor_id"))), number(maximum), number(current),
                     QVariant::fromValue(cores)});
    }
    return rows;
}

// Mounted block devices, each mount point once (a later mount over it hides the earlier).
QList<Row> logicalDisks(const LinuxWmi& wmi, Columns)
{
    QList<Row> rows;
    QStringList points;
    const auto data = readFile(wmi.roots().proc + QStringLiteral("/self/mounts"));
    if (!data)
        return rows;
    for (const QByteArray& line : data->split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 3 || !f[0].startsWith("/dev/"))
            continue;
        const QString point = unescapeMountField(f[1]);
        struct statvfs st {};
        QVariant size, free;
        if (::statvfs(QFile::encodeName(point).constData(), &st) == 0) {
            size = QVariant::fromValue<quint64>(quint64(st.f_blocks) * st.f_frsize);
            free = QVariant::fromValue<quint64>(quint64(st.f_bavail) * st.f_frsize);
        }
        Row row{point, size, free, QString::fromUtf8(f[2])};
        const qsizetype seen = points.indexOf(point);
        if (seen >= 0) {
            rows[seen] = row;
        } else {
            points << point;
            rows << row;
        }
    }
    return rows;
}

const QList<WmiClass>& classes()
{
    static const QList<WmiClass> table{
        {QStringLiteral("Win32_ComputerSystem"),
         {QStringLiteral("Manufacturer"), QStringLiteral("Model"), QStringLiteral("Name"),
          QStringLiteral("NumberOfProcessors"), QStringLiteral("SystemType"), QStringLiteral("TotalPhysicalMemory")},
         computerSystem},
        {QStringLiteral("Win32_BIOS"),
         {QStringLiteral("SerialNumber"), QStringLiteral("Manufacturer"), QStringLiteral("Version"),
          QStringLiteral("ReleaseDate"), QStringLiteral("SMBIOSBIOSVersion")},
         bios},
        {QStringLiteral("Win32_BaseBoard"),
         {QStringLiteral("Manufacturer"), QStringLiteral("Product"), QStringLiteral("SerialNumber")},
         baseBoard},
        {QStringLiteral("Win32_SystemEnclosure"),
         {QStringLiteral("SerialNumber"), QStringLiteral("Manufacturer")},
         systemEnclosure},
        {QStringLiteral("Win32_ComputerSystemProduct"),
         {QStringLiteral("IdentifyingNumber"), QStringLiteral("Name"), QStringLiteral("Vendor"), QStringLiteral("UUID"),
          QStringLiteral("Version")},
         computerSystemProduct},
        {QStringLiteral("Win32_OperatingSystem"),
         {QStringLiteral("Caption"), QStringLiteral("Version"), QStringLiteral("BuildNumber"),
          QStringLiteral("OSArchitecture"), QStringLiteral("TotalVisibleMemorySize"),
          QStringLiteral("FreePhysicalMemory")},
         operatingSystem},
        {QStringLiteral("Win32_Processor"),
         {QStringLiteral("Name"), QStringLiteral("Manufacturer"), QStringLiteral("MaxClockSpeed"),
          QStringLiteral("CurrentClockSpeed"), QStringLiteral("NumberOfCores")},
         processors},
        {QStringLiteral("Win32_LogicalDisk"),
         {QStringLiteral("DeviceID"), QStringLiteral("Size"), QStringLiteral("FreeSpace"),
          QStringLiteral("FileSystem")},
         logicalDisks},
    };
    return table;
}

qsizetype indexOfName(const QStringList& names, const QString& name)
{
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

}  // namespace

std::optional<QVariant> WmiObject::value(const QString& name) const
{
    for (const WmiProperty& p : properties)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p.value;
    return std::nullopt;
}

std::shared_ptr<Wmi> systemWmi()
{
    return std::make_shared<LinuxWmi>();
}

QString dmiSnapshotKey()
{
    return QStringLiteral("SOFTWARE\\Ovex\\Ovex Kelvo\\DMI");
}

LinuxWmiRoots LinuxWmiRoots::fromEnvironment()
{
    LinuxWmiRoots r;
    r.dmi = qEnvironmentVariable("OVEX_DMI_DIR");
    if (r.dmi.isEmpty())
        r.dmi = QStringLiteral("/sys/class/dmi/id");
    r.proc = QStringLiteral("/proc");
    r.sys = QStringLiteral("/sys");
    r.osRelease = defaultOsReleaseFiles();
    return r;
}

LinuxWmi::LinuxWmi(LinuxWmiRoots roots) : roots_(std::move(roots)) {}

std::optional<QString> LinuxWmi::dmiValue(const QString& name) const
{
    if (name.isEmpty() || name.contains(u'/') || name.startsWith(u'.'))
        return std::nullopt;
    int error = 0;
    std::optional<QByteArray> data = readFile(roots_.dmi + u'/' + name, &error);
    if (!data) {
        // sysfs keeps the serial numbers and the UUID to root; the installation recorded them.
        if (error != EACCES && error != EPERM)
            return std::nullopt;
        const auto snap = Registry::value(RootKey::LocalMachine, dmiSnapshotKey(), name);
        if (!snap || (snap->type != RegType::String && snap->type != RegType::ExpandString))
            return std::nullopt;
        return snap->text;
    }
    if (data->endsWith('\n'))
        data->chop(1);
    return QString::fromUtf8(*data);
}

std::optional<QList<WmiObject>> LinuxWmi::query(const QString& wql, const QStringList& reads, QString* error) const
{
    const auto q = parseWql(wql, error);
    if (!q)
        return std::nullopt;
    const WmiClass* cls = nullptr;
    for (const WmiClass& c : classes())
        if (c.name.compare(q->className, Qt::CaseInsensitive) == 0)
            cls = &c;
    if (!cls) {
        if (error != nullptr)
            *error = QStringLiteral("Unknown WMI class %1 in the query \"%2\"").arg(q->className, wql);
        return std::nullopt;
    }
    const auto unknownProperty = [&](const QString& name) -> std::optional<QList<WmiObject>> {
        if (error != nullptr)
            *error = QStringLiteral("Class %1 has no property %2 (query \"%3\")").arg(cls->name, name, wql);
        return std::nullopt;
    };

    QList<qsizetype> selected;
    if (q->properties.isEmpty()) {
        for (qsizetype i = 0; i < cls->properties.size(); ++i)
            selected << i;
    } else {
        for (const QString& p : q->properties) {
            const qsizetype i = indexOfName(cls->properties, p);
            if (i < 0)
                return unknownProperty(p);
            if (!selected.contains(i))
                selected << i;
        }
        std::sort(selected.begin(), selected.end());
    }
    qsizetype whereIndex = -1;
    if (q->where) {
        whereIndex = indexOfName(cls->properties, q->where->property);
        if (whereIndex < 0)
            return unknownProperty(q->where->property);
    }

    Columns columns = whereIndex >= 0 ? Columns(1) << whereIndex : 0;
    for (const qsizetype i : selected)
        if (reads.isEmpty() || indexOfName(reads, cls->properties[i]) >= 0)
            columns |= Columns(1) << i;
    QList<WmiObject> objects;
    for (const Row& row : cls->rows(*this, columns)) {
        if (whereIndex >= 0) {
            // WQL compares strings without regard to case; a null value matches nothing.
            const QVariant& v = row.value(whereIndex);
            if (v.isNull() || v.toString().compare(q->where->value, Qt::CaseInsensitive) != 0)
                continue;
        }
        WmiObject object;
        for (const qsizetype i : selected)
            object.properties.append({cls->properties[i], row.value(i)});
        objects << object;
    }
    return objects;
}

}  // namespace platform
