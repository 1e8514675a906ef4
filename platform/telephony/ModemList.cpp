#include "platform/telephony/ModemList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace platform {

namespace {

QString readLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(4096)).trimmed();
}

}  // namespace

QList<ModemDevice> listModems(const QString& sysfsRoot, const QString& devRoot, const QStringList& configured)
{
    QList<ModemDevice> modems;
    QSet<QString> paths;
    const QDir root(sysfsRoot);
    const QSet<QString> consoles = [&] {
        QSet<QString> names;
        for (const QString& name :
             readLine(root.filePath(QStringLiteral("console/active"))).split(u' ', Qt::SkipEmptyParts))
            names.insert(name);
        return names;
    }();
    static const QRegularExpression virtualConsole(QStringLiteral("^(tty\\d*|console|ptmx)$"));
    QStringList names = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    names.sort();
    for (const QString& name : names) {
        if (virtualConsole.match(name).hasMatch() || consoles.contains(name))
            continue;
        const QFileInfo driver(root.filePath(name + QStringLiteral("/device/driver")));
        if (!driver.exists())
            continue;
        if (readLine(root.filePath(name + QStringLiteral("/type"))) == QStringLiteral("0"))
            continue;
        const QString driverName = QFileInfo(driver.canonicalFilePath()).fileName();
        const QString path = QDir(devRoot).filePath(name);
        modems.append({QStringLiteral("%1 modem on %2").arg(driverName, name), path});
        paths.insert(path);
    }
    for (const QString& path : configured) {
        if (path.isEmpty() || paths.contains(path))
            continue;
        modems.append({QStringLiteral("Modem on %1").arg(path), path});
        paths.insert(path);
    }
    return modems;
}

}  // namespace platform
