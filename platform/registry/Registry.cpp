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

std::optional<Hive> load(RootKey root)
{
    return loadHiveShared(root, Registry::hiveFilePath(root));
}

bool modify(RootKey root, const std::function<bool(Hive&)>& change)
{
    return modifyHiveFile(root, Registry::hiveFilePath(root), change);
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

bool Registry::keyExists(RootKey root, const QString& path)
{
    const std::optional<Hive> hive = load(root);
    return hive && hive->keyExists(path);
}

bool Registry::createKey(RootKey root, const QString& path)
{
    bool ok = false;
    return modify(root,
                  [&](Hive& hive) {
                      if (hive.keyExists(path)) {
                          ok = true;
                          return false;
                      }
                      ok = hive.createKey(path);
                      return ok;
                  }) &&
           ok;
}

bool Registry::removeKey(RootKey root, const QString& path, bool recursive)
{
    bool removed = false;
    return modify(root, [&](Hive& hive) { return removed = hive.removeKey(path, recursive); }) && removed;
}

QStringList Registry::subKeys(RootKey root, const QString& path)
{
    const std::optional<Hive> hive = load(root);
    return hive ? hive->subKeys(path) : QStringList();
}

QStringList Registry::valueNames(RootKey root, const QString& path)
{
    const std::optional<Hive> hive = load(root);
    return hive ? hive->valueNames(path) : QStringList();
}

std::optional<RegValue> Registry::value(RootKey root, const QString& path, const QString& name)
{
    const std::optional<Hive> hive = load(root);
    return hive ? hive->value(path, name) : std::nullopt;
}

bool Registry::setValue(RootKey root, const QString& path, const QString& name, const RegValue& value)
{
    bool stored = false;
    return modify(root, [&](Hive& hive) { return stored = hive.setValue(path, name, value); }) && stored;
}

bool Registry::removeValue(RootKey root, const QString& path, const QString& name)
{
    bool removed = false;
    return modify(root, [&](Hive& hive) { return removed = hive.removeValue(path, name); }) && removed;
}

bool Registry::update(RootKey root, const std::function<bool(Hive&)>& change)
{
    return modify(root, change);
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

bool Profile::writeString(const QString& section, const QString& entry, const QString& value) const
{
    return Registry::setValue(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry, RegValue::fromString(value));
}

bool Profile::writeInt(const QString& section, const QString& entry, int value) const
{
    return Registry::setValue(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry,
                              RegValue::fromDWord(quint32(value)));
}

}  // namespace platform
