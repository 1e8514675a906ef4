#include "platform/wmi/DmiSnapshot.h"

#include "platform/registry/Registry.h"
#include "platform/wmi/Wmi.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

std::nullopt_t fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

}  // namespace

std::optional<QMap<QString, QString>> readDmiFolder(const QString& folder, QString* error)
{
    const QDir dir(folder);
    if (!dir.exists())
        return fail(error, QStringLiteral("No DMI folder at %1").arg(folder));
    QMap<QString, QString> values;
    for (const QString& name : dir.entryList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        if (name == QLatin1String("uevent") || name == QLatin1String("modalias"))
            continue;
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return fail(error, QStringLiteral("Unable to read %1: %2").arg(f.fileName(), f.errorString()));
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
    bool stored = true;
    const bool written = Registry::update(
        RootKey::LocalMachine,
        [&](Hive& hive) {
            for (const QString& old : hive.valueNames(key))
                if (!values.contains(old))
                    hive.removeValue(key, old);
            stored = hive.createKey(key, error);
            for (auto it = values.cbegin(); stored && it != values.cend(); ++it)
                stored = hive.setValue(key, it.key(), RegValue::fromString(it.value()), error);
            // Half a snapshot is not written: the one before stays whole.
            return stored;
        },
        error);
    return written && stored;
}

}  // namespace platform
