#include "platform/registry/Hive.h"

#include "platform/registry/KeyNames.h"
#include "platform/text/Ascii.h"

namespace platform {

using regkeys::keyPathProblem;
using regkeys::normalizePath;
using regkeys::storableName;

Hive::Hive(RootKey root) : root_(root) {}

RootKey Hive::root() const
{
    return root_;
}

const Hive::Key* Hive::findKey(const QString& path) const
{
    const auto it = index_.constFind(asciiLower(path));
    return it == index_.constEnd() ? nullptr : &keys_[*it];
}

Hive::Key* Hive::findKey(const QString& path)
{
    const auto it = index_.constFind(asciiLower(path));
    return it == index_.constEnd() ? nullptr : &keys_[*it];
}

Hive::Key& Hive::ensureKey(const QString& path)
{
    if (Key* k = findKey(path))
        return *k;
    const qsizetype cut = path.lastIndexOf(u'\\');
    if (cut > 0)
        ensureKey(path.left(cut));
    keys_.append(Key{path, {}, {}});
    index_.insert(asciiLower(path), keys_.size() - 1);
    return keys_.last();
}

const RegValue* Hive::Key::find(const QString& name) const
{
    const auto it = valueIndex.constFind(asciiLower(name));
    return it == valueIndex.constEnd() ? nullptr : &values[*it].second;
}

void Hive::Key::reindexValues()
{
    valueIndex.clear();
    for (qsizetype i = 0; i < values.size(); ++i)
        valueIndex.insert(asciiLower(values[i].first), i);
}

void Hive::reindex()
{
    index_.clear();
    for (qsizetype i = 0; i < keys_.size(); ++i)
        index_.insert(asciiLower(keys_[i].path), i);
}

bool Hive::keyExists(const QString& path) const
{
    const QString p = normalizePath(path);
    return p.isEmpty() || findKey(p) != nullptr;
}

bool Hive::createKey(const QString& path)
{
    const QString p = normalizePath(path);
    if (!storableName(p) || !keyPathProblem(p).isEmpty())
        return false;
    if (!p.isEmpty())
        ensureKey(p);
    return true;
}

bool Hive::removeKey(const QString& path, bool recursive)
{
    const QString p = normalizePath(path);
    if (p.isEmpty() || findKey(p) == nullptr)
        return false;
    const QString self = asciiLower(p);
    const QString below = self + u'\\';
    QList<Key> kept;
    bool hasSubKeys = false;
    for (const Key& k : keys_) {
        const QString lower = asciiLower(k.path);
        if (lower.startsWith(below))
            hasSubKeys = true;
        else if (lower != self)
            kept.append(k);
    }
    if (hasSubKeys && !recursive)
        return false;
    keys_ = kept;
    reindex();
    return true;
}

QStringList Hive::subKeys(const QString& path) const
{
    const QString p = normalizePath(path);
    QStringList names;
    if (!keyExists(p))
        return names;
    const QString prefix = p.isEmpty() ? QString() : asciiLower(p) + u'\\';
    for (const Key& k : keys_) {
        if (k.path.isEmpty())
            continue;
        const QString lower = asciiLower(k.path);
        if (lower.startsWith(prefix) && !QStringView(lower).mid(prefix.size()).contains(u'\\'))
            names.append(k.path.mid(prefix.size()));
    }
    return names;
}

QStringList Hive::valueNames(const QString& path) const
{
    QStringList names;
    if (const Key* k = findKey(normalizePath(path)))
        for (const auto& [name, v] : k->values)
            names.append(name);
    return names;
}

std::optional<RegValue> Hive::value(const QString& path, const QString& name) const
{
    if (const Key* k = findKey(normalizePath(path)))
        if (const RegValue* v = k->find(name))
            return *v;
    return std::nullopt;
}

bool Hive::setValue(const QString& path, const QString& name, const RegValue& value)
{
    const QString p = normalizePath(path);
    if (!storableName(p) || !storableName(name) || !keyPathProblem(p).isEmpty())
        return false;
    Key& k = ensureKey(p);
    const QString lower = asciiLower(name);
    if (const auto it = k.valueIndex.constFind(lower); it != k.valueIndex.constEnd()) {
        k.values[*it].second = value;  // the name keeps the case it was created with
        return true;
    }
    k.values.append({name, value});
    k.valueIndex.insert(lower, k.values.size() - 1);
    return true;
}

bool Hive::removeValue(const QString& path, const QString& name)
{
    if (Key* k = findKey(normalizePath(path))) {
        for (qsizetype i = 0; i < k->values.size(); ++i) {
            if (asciiEqualsIgnoreCase(k->values[i].first, name)) {
                k->values.removeAt(i);
                k->reindexValues();
                return true;
            }
        }
    }
    return false;
}

}  // namespace platform
