#include "platform/hardware/HardwareText.h"

#include <QList>

namespace platform {

namespace {

// "key<tabs> : value" lines, as /proc/cpuinfo and /proc/meminfo write them.
bool splitField(const QByteArray& line, QByteArray* key, QByteArray* value)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return false;
    *key = line.left(colon).trimmed();
    *value = line.mid(colon + 1).trimmed();
    return true;
}

std::optional<int> smallNumber(const QByteArray& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0)
        return std::nullopt;
    return n;
}

}  // namespace

std::optional<ProcessorInfo> parseCpuInfo(const QByteArray& text)
{
    ProcessorInfo info;
    for (const QByteArray& line : text.split('\n')) {
        if (line.trimmed().isEmpty()) {
            if (!info.vendor.isEmpty())
                break;
            continue;
        }
        QByteArray key, value;
        if (!splitField(line, &key, &value))
            continue;
        if (key == "vendor_id")
            info.vendor = QString::fromUtf8(value).left(12);
        else if (key == "model name")
            info.modelName = QString::fromUtf8(value);
        else if (key == "cpu family")
            info.family = smallNumber(value).value_or(0);
        else if (key == "model")
            info.model = smallNumber(value).value_or(0);
        else if (key == "stepping")
            info.stepping = smallNumber(value).value_or(0);
        else if (key == "flags")
            info.flags = QString::fromLatin1(value).split(u' ', Qt::SkipEmptyParts);
        else if (key == "cpu MHz") {
            bool ok = false;
            const double mhz = value.toDouble(&ok);
            if (ok && mhz > 0 && mhz < 1e6)
                info.mhz = quint32(mhz + 0.5);
        }
    }
    if (info.vendor.isEmpty())
        return std::nullopt;
    return info;
}

std::optional<MemoryInfo> parseMemInfo(const QByteArray& text)
{
    std::optional<quint64> total;
    quint64 swap = 0;
    for (const QByteArray& line : text.split('\n')) {
        QByteArray key, value;
        if (!splitField(line, &key, &value))
            continue;
        if (key != "MemTotal" && key != "SwapTotal")
            continue;
        QByteArray number = value;
        if (number.endsWith(" kB"))
            number.chop(3);
        bool ok = false;
        const quint64 kb = number.trimmed().toULongLong(&ok);
        // Beyond this the byte count would not fit 64 bits.
        if (!ok || kb > (quint64(1) << 53))
            continue;
        if (key == "MemTotal")
            total = kb * 1024;
        else
            swap = kb * 1024;
    }
    if (!total)
        return std::nullopt;
    return MemoryInfo{*total, swap};
}

std::optional<QString> parseSoundCards(const QByteArray& text)
{
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.isEmpty() || t == "--- no soundcards ---")
            continue;
        // The index, the id in brackets, ':', the driver, " - " and the long name.
        const qsizetype bracket = t.indexOf("]:");
        if (bracket < 0 || !(t[0] >= '0' && t[0] <= '9'))
            continue;
        const qsizetype dash = t.indexOf(" - ", bracket);
        if (dash < 0)
            continue;
        const QString name = QString::fromUtf8(t.mid(dash + 3)).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return std::nullopt;
}

std::optional<QString> parseSoundVersion(const QByteArray& text)
{
    static const QByteArray marker = "Driver Version ";
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    QByteArray version = text.mid(at + marker.size());
    version = version.left(version.indexOf('\n')).trimmed();
    while (version.endsWith('.'))
        version.chop(1);
    if (version.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(version.left(64));
}

std::optional<QString> parseCupsDefault(const QByteArray& text)
{
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray t = line.trimmed();
        QByteArray name;
        if (t.startsWith("Default ") || t.startsWith("Default\t"))
            name = t.mid(8).trimmed();
        else if (t.startsWith("<DefaultPrinter ") && t.endsWith('>'))
            name = t.mid(16, t.size() - 17).trimmed();
        else
            continue;
        // "Default name/instance option=value ...": the destination is the first word.
        const qsizetype space = name.indexOf(' ');
        if (space >= 0)
            name = name.left(space);
        if (!name.isEmpty())
            return QString::fromUtf8(name);
    }
    return std::nullopt;
}

}  // namespace platform
