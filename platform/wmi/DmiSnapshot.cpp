#include "platform/wmi/DmiSnapshot.h"

#include "platform/registry/Registry.h"
#include "platform/wmi/Wmi.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

namespace platform {

std::optional<QMap<QString, QString>> readDmiFolder(const QString& folder, QString* error)
{
    const QDir dir(folder);
    if (!dir.exists()) {
        *error = QStringLiteral("No DMI folder at %1").arg(folder);
        return std::nullopt;
    }
    QMap<QString, QString> values;
    for (const QString& name : dir.entryList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        if (name == QLatin1String("uevent") || name == QLatin1String("modalias"))
            continue;
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("Unable to read %1: %2").arg(f.fileName(), f.errorString());
            return std::nullopt;
        }
        QByteArray data = f.readAll();
        if (data.endsWith('\n'))
            data.chop(1);
        values.insert(name, QString::fromUtf8(data));
    }
    return values;
}

bool writeDmiSnapshot(const QMap<QString, QString>& values, QString* error)
{
    const QString key = dmiSnapshotKey();
    const bool ok = Registry::update(RootKey::LocalMachine, [&](Hive& hive) {
        for (const QString& old : hive.valueNames(key))
            if (!values.contains(old))
                hive.removeValue(key, old);
        hive.createKey(key);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            hive.setValue(key, it.key(), RegValue::fromString(it.value()));
        return true;
    });
    if (!ok)
        *error =
            QStringLiteral("Unable to write the machine hive %1").arg(Registry::hiveFilePath(RootKey::LocalMachine));
    return ok;
}

}  // namespace platform
