#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"
#include "platform/registry/KeyNames.h"

#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {

QString userConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (xdg.startsWith(u'/'))
        return xdg;
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        if (const passwd* pw = ::getpwuid(::geteuid()))
            home = QString::fromLocal8Bit(pw->pw_dir);
    return home + QStringLiteral("/.config");
}

std::optional<Hive> load(RootKey root, QString* error)
{
    return loadHiveShared(root, Registry::hiveFilePath(root), error);
}

bool modify(RootKey root, const std::function<bool(Hive&)>& change, QString* error)
{
    return modifyHiveFile(root, Registry::hiveFilePath(root), change, error);
}

}  // namespace

QString Registry::hiveFilePath(RootKey root)
{
    const QString file = regkeys::rootName(root) + QStringLiteral(".reg");
    const QString moved = qEnvironmentVariable("OVEX_REGISTRY_DIR");
    if (!moved.isEmpty())
        return moved + u'/' + file;
    if (root == RootKey::LocalMachine)
        return QStringLiteral("/etc/opt/ovex-kelvo/registry/") + file;
    return userConfigHome() + QStringLiteral("/ovex-kelvo/registry/") + file;
}

bool Registry::keyExists(RootKey root, const QString& path, QString* error)
{
    const std::optional<Hive> hive = load(root, error);
    return hive && hive->keyExists(path);
}

bool Registry::createKey(RootKey root, const QString& path, QString* error)
{
    bool ok = false;
    return modify(
               root,
               [&](Hive& hive) {
                   if (hive.keyExists(path)) {
                       ok = true;
                       return false;
                   }
                   ok = hive.createKey(path, error);
                   return ok;
               },
               error) &&
           ok;
}

bool Registry::removeKey(RootKey root, const QString& path, bool recursive, QString* error)
{
    bool removed = false;
    return modify(
               root, [&](Hive& hive) { return removed = hive.removeKey(path, recursive, error); }, error) &&
           removed;
}

QStringList Registry::subKeys(RootKey root, const QString& path, QString* error)
{
    const std::optional<Hive> hive = load(root, error);
    return hive ? hive->subKeys(path) : QStringList();
}

QStringList Registry::valueNames(RootKey root, const QString& path, QString* error)
{
    const std::optional<Hive> hive = load(root, error);
    return hive ? hive->valueNames(path) : QStringList();
}

std::optional<RegValue> Registry::value(RootKey root, const QString& path, const QString& name, QString* error)
{
    const std::optional<Hive> hive = load(root, error);
    return hive ? hive->value(path, name) : std::nullopt;
}

bool Registry::setValue(RootKey root, const QString& path, const QString& name, const RegValue& value, QString* error)
{
    bool stored = false;
    return modify(
               root, [&](Hive& hive) { return stored = hive.setValue(path, name, value, error); }, error) &&
           stored;
}

bool Registry::removeValue(RootKey root, const QString& path, const QString& name, QString* error)
{
    bool removed = false;
    return modify(
               root, [&](Hive& hive) { return removed = hive.removeValue(path, name, error); }, error) &&
           removed;
}

bool Registry::update(RootKey root, const std::function<bool(Hive&)>& change, QString* error)
{
    return modify(root, change, error);
}

// ---- Profile ----

Profile::Profile(const QString& company, const QString& application)
    : keyPath_(QStringLiteral("Software\\") + company + u'\\' + application)
{}

QString Profile::keyPath() const
{
    return keyPath_;
}

QString Profile::readString(const QString& section, const QString& entry, const QString& fallback) const
{
    const std::optional<RegValue> v = Registry::value(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry);
    return v && v->type == RegType::String ? v->text : fallback;
}

int Profile::readInt(const QString& section, const QString& entry, int fallback) const
{
    const std::optional<RegValue> v = Registry::value(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry);
    if (!v)
        return fallback;
    if (v->type == RegType::DWord)
        return int(quint32(v->number));
    if (v->type == RegType::String) {
        bool ok = false;
        const int n = v->text.trimmed().toInt(&ok, 10);
        return ok ? n : fallback;
    }
    return fallback;
}

bool Profile::writeString(const QString& section, const QString& entry, const QString& value, QString* error) const
{
    return Registry::setValue(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry, RegValue::fromString(value),
                              error);
}

bool Profile::writeInt(const QString& section, const QString& entry, int value, QString* error) const
{
    return Registry::setValue(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry,
                              RegValue::fromDWord(quint32(value)), error);
}

}  // namespace platform
