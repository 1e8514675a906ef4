#pragma once

#include "platform/registry/Hive.h"
#include "platform/registry/RegValue.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace platform {

// The registry as files. Reads take a shared lock, writes an exclusive lock and replace
// the file by write-temp-and-rename, so a reader never sees half a hive.
//
// A change that fails returns false and says why in `error`: the file and the system's reason,
// or what the hive refused ("There is no key ..."). A read finds nothing both when the value
// is not there and when the hive cannot be read; only the second sets `error`. Without an
// `error` to fill, a file's failure is logged instead.
class Registry {
public:
    // The machine hive lives under /etc/opt/ovex-kelvo/registry, the user hive under
    // $XDG_CONFIG_HOME/ovex-kelvo/registry; OVEX_REGISTRY_DIR moves both.
    static QString hiveFilePath(RootKey root);

    static bool keyExists(RootKey root, const QString& path, QString* error = nullptr);
    static bool createKey(RootKey root, const QString& path, QString* error = nullptr);
    static bool removeKey(RootKey root, const QString& path, bool recursive, QString* error = nullptr);
    static QStringList subKeys(RootKey root, const QString& path, QString* error = nullptr);
    static QStringList valueNames(RootKey root, const QString& path, QString* error = nullptr);
    static std::optional<RegValue> value(RootKey root, const QString& path, const QString& name,
                                         QString* error = nullptr);
    static bool setValue(RootKey root, const QString& path, const QString& name, const RegValue& value,
                         QString* error = nullptr);
    static bool removeValue(RootKey root, const QString& path, const QString& name, QString* error = nullptr);

    // Read-modify-write under the hive's exclusive lock, for test-and-set. `change` returns
    // true when it changed the hive and the file must be written. Returns false when the
    // hive could not be read or written. `change` must not call Registry on the same root:
    // the lock is per open file, so a nested call would wait for itself.
    static bool update(RootKey root, const std::function<bool(Hive&)>& change, QString* error = nullptr);
};

// The application framework's per-user profile: Software\<company>\<application>\<section>.
class Profile {
public:
    Profile(const QString& company, const QString& application);
    QString keyPath() const;
    QString readString(const QString& section, const QString& entry, const QString& fallback = {}) const;
    int readInt(const QString& section, const QString& entry, int fallback) const;
    bool writeString(const QString& section, const QString& entry, const QString& value,
                     QString* error = nullptr) const;
    bool writeInt(const QString& section, const QString& entry, int value, QString* error = nullptr) const;

private:
    QString keyPath_;
};

}  // namespace platform
