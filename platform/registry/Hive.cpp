#include "platform/registry/Hive.h"

#include "platform/registry/KeyNames.h"
#include "platform/text/Ascii.h"

namespace platform {

using regkeys::keyPathProblem;
using regkeys::normalizePath;
using regkeys::storableName;

namespace {

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

// Why `name` cannot go into the file, or empty when it can.
QString nameProblem(const QString& name, const char* what)
{
    if (storableName(name))
        return {};
    return QStringLiteral(
               "The %1 \"%2\" holds a line break, a NUL or half a character, which the hive file cannot "
               "store")
        .arg(QLatin1String(what), name.left(60));
}

QString keyProblem(const QString& path)
{
    QString why = nameProblem(path, "key name");
    if (why.isEmpty())
        if (const QString limit = keyPathProblem(path); !limit.isEmpty())
            why = QStringLiteral("The key \"%1\" cannot be stored: its %2").arg(path.left(60), limit);
    return why;
}

}  // namespace

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

bool Hive::createKey(const QString& path, QString* error)
{
    const QString p = normalizePath(path);
    if (const QString why = keyProblem(p); !why.isEmpty())
        return fail(error, why);
    if (!p.isEmpty())
        ensureKey(p);
    return true;
}

bool Hive::removeKey(const QString& path, bool recursive, QString* error)
{
    const QString p = normalizePath(path);
    if (p.isEmpty())
        return fail(error, QStringLiteral("The root key cannot be removed"));
    if (findKey(p) == nullptr)
        return fail(error, QStringLiteral("There is no key \"%1\"").arg(p));
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
        return fail(error, QStringLiteral("The key \"%1\" still has subkeys").arg(p));
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

bool Hive::setValue(const QString& path, const QString& name, const RegValue& value, QString* error)
{
    const QString p = normalizePath(path);
    QString why = keyProblem(p);
    if (why.isEmpty())
        why = nameProblem(name, "value name");
    if (!why.isEmpty())
        return fail(error, why);
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

bool Hive::removeValue(const QString& path, const QString& name, QString* error)
{
    const QString p = normalizePath(path);
    if (Key* k = findKey(p)) {
        for (qsizetype i = 0; i < k->values.size(); ++i) {
            if (asciiEqualsIgnoreCase(k->values[i].first, name)) {
                k->values.removeAt(i);
                k->reindexValues();
                return true;
            }
        }
    }
    return fail(error, QStringLiteral("There is no value \"%1\" in the key \"%2\"").arg(name, p));
}

}  // namespace platform
