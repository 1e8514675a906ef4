#pragma once

#include "platform/registry/RegValue.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace platform {

// The two roots the programs use. Each is one hive file (see Registry::hiveFilePath).
enum class RootKey { LocalMachine, CurrentUser };

// A hive in memory: keys below the root, each with named values. Key and value names
// compare without regard to ASCII case and keep the case they were created with.
// Key paths use backslashes ("Software\\Ovex\\Ovex Kelvo") and are relative to the root.
class Hive {
public:
    // The Windows registry's limits: a key lies at most 512 levels below the root, and each
    // of its names holds at most 255 characters. A file past them is damaged.
    static constexpr int kMaxKeyDepth = 512;
    static constexpr int kMaxKeyNameLength = 255;

    explicit Hive(RootKey root = RootKey::CurrentUser);

    // Parses the REGEDIT4-like text; a malformed file gives nullopt and an error text.
    static std::optional<Hive> parse(RootKey root, const QByteArray& text, QString* error = nullptr);
    QByteArray serialize() const;

    RootKey root() const;
    // The root itself (an empty path) always exists.
    bool keyExists(const QString& path) const;
    // False when a name cannot be stored in the file (a line break or NUL in it) or the
    // path is past the limits above. Like every change below, a failure says why in `error`.
    bool createKey(const QString& path, QString* error = nullptr);
    // With recursive false, a key that still has subkeys is not removed. The root never is.
    bool removeKey(const QString& path, bool recursive, QString* error = nullptr);
    QStringList subKeys(const QString& path) const;
    QStringList valueNames(const QString& path) const;
    std::optional<RegValue> value(const QString& path, const QString& name) const;
    // Creates the key (and those above it) when missing. An empty name is the default value "@".
    // False, changing nothing, when a name cannot be stored in the file or the path is past
    // the limits.
    bool setValue(const QString& path, const QString& name, const RegValue& value, QString* error = nullptr);
    bool removeValue(const QString& path, const QString& name, QString* error = nullptr);

private:
    struct Key {
        QString path;                                // case as created
        QList<std::pair<QString, RegValue>> values;  // in the order they were set
        QHash<QString, qsizetype> valueIndex;        // ASCII-lower-cased name -> position in values
        const RegValue* find(const QString& name) const;
        void reindexValues();
    };
    const Key* findKey(const QString& path) const;  // path already normalised
    Key* findKey(const QString& path);
    Key& ensureKey(const QString& path);  // and the keys above it
    void reindex();

    RootKey root_;
    QList<Key> keys_;                  // in the order they appear in the file
    QHash<QString, qsizetype> index_;  // ASCII-lower-cased path -> position in keys_
};

}  // namespace platform
