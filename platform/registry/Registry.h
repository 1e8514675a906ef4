#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

namespace platform {

// The two roots the programs use. Each is one hive file (see Registry::hiveFilePath).
enum class RootKey { LocalMachine, CurrentUser };

enum class RegType { String, ExpandString, DWord, QWord, MultiString, Binary };

// One typed registry value. Only the member that matches `type` is meaningful.
struct RegValue {
    RegType type = RegType::String;
    QString text;         // String, ExpandString
    quint64 number = 0;   // DWord (low 32 bits), QWord
    QStringList strings;  // MultiString
    QByteArray bytes;     // Binary

    static RegValue fromString(const QString& s);
    static RegValue fromDWord(quint32 v);
    static RegValue fromQWord(quint64 v);
    static RegValue fromMultiString(const QStringList& list);
    static RegValue fromBinary(const QByteArray& data);

    // The value as the raw little-endian bytes Windows would store (strings as UTF-16LE
    // with their terminating zero), for callers that read "all stored bytes".
    QByteArray rawBytes() const;

    bool operator==(const RegValue& other) const;
};

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
    // path is past the limits above.
    bool createKey(const QString& path);
    // With recursive false, a key that still has subkeys is not removed.
    bool removeKey(const QString& path, bool recursive);
    QStringList subKeys(const QString& path) const;
    QStringList valueNames(const QString& path) const;
    std::optional<RegValue> value(const QString& path, const QString& name) const;
    // Creates the key (and those above it) when missing. An empty name is the default value "@".
    // False, changing nothing, when a name cannot be stored in the file or the path is past
    // the limits.
    bool setValue(const QString& path, const QString& name, const RegValue& value);
    bool removeValue(const QString& path, const QString& name);

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
    Key& ensureKey(const QString& path);             // and the keys above it
    void reindex();

    RootKey root_;
    QList<Key> keys_;                  // in the order they appear in the file
    QHash<QString, qsizetype> index_;  // ASCII-lower-cased path -> position in keys_
};

// The registry as files. Reads take a shared lock, writes an exclusive lock and replace
// the file by write-temp-and-rename, so a reader never sees half a hive.
class Registry {
public:
    // The machine hive lives under /etc/opt/ovex-kelvo/registry, the user hive under
    // $XDG_CONFIG_HOME/ovex-kelvo/registry; OVEX_REGISTRY_DIR moves both.
    static QString hiveFilePath(RootKey root);

    static bool keyExists(RootKey root, const QString& path);
    static bool createKey(RootKey root, const QString& path);
    static bool removeKey(RootKey root, const QString& path, bool recursive);
    static QStringList subKeys(RootKey root, const QString& path);
    static QStringList valueNames(RootKey root, const QString& path);
    static std::optional<RegValue> value(RootKey root, const QString& path, const QString& name);
    static bool setValue(RootKey root, const QString& path, const QString& name, const RegValue& value);
    static bool removeValue(RootKey root, const QString& path, const QString& name);

    // Read-modify-write under the hive's exclusive lock, for test-and-set. `change` returns
    // true when it changed the hive and the file must be written. Returns false when the
    // hive could not be read or written. `change` must not call Registry on the same root:
    // the lock is per open file, so a nested call would wait for itself.
    static bool update(RootKey root, const std::function<bool(Hive&)>& change);
};

// The application framework's per-user profile: Software\<company>\<application>\<section>.
class Profile {
public:
    Profile(const QString& company, const QString& application);
    QString keyPath() const;
    QString readString(const QString& section, const QString& entry, const QString& fallback = {}) const;
    int readInt(const QString& section, const QString& entry, int fallback) const;
    bool writeString(const QString& section, const QString& entry, const QString& value) const;
    bool writeInt(const QString& section, const QString& entry, int value) const;

private:
    QString keyPath_;
};

}  // namespace platform
