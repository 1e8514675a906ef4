#include "launcher/reminders/EngineRemoval.h"

#include "launcher/update/UpdateFolder.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/SmartFile.h"

#include "platform/shell/Shell.h"
#include "platform/text/Format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>

using namespace engine;

namespace launcher {

namespace {

struct UninstallStrings {
    QString manufacturer;
    QString product;
};

UninstallStrings& uninstallStrings()
{
    static UninstallStrings strings;
    return strings;
}

// The Hive walk of DeleteRegistryTree, under the one lock of Registry::update.
// Without recursion, the hive refuses a key that still has subkeys.
bool deleteTree(platform::Hive& hive, const QString& path, bool recursive, QString* error)
{
    QStringList subKeys = recursive ? hive.subKeys(path) : QStringList();
    while (!subKeys.isEmpty()) {
        if (!deleteTree(hive, path + u'\\' + subKeys.first(), true, error))
            return false;
        subKeys = hive.subKeys(path);
    }
    return hive.removeKey(path, false, error);
}

}  // namespace

void SetUninstallStrings(const QString& manufacturer, const QString& product)
{
    uninstallStrings() = UninstallStrings{manufacturer, product};
}

bool RunDeleterHelper()
{
    if (!QResource(QStringLiteral(":/launcher/CODE/APPDELETER")).isValid()) {
        EngineTrace(QStringLiteral("RunDeleterHelper: the launcher carries no deleter program"));
        return false;
    }
    // A deleter resource would be run here; this launcher never carries one.
    return false;
}

void DeleteOnReboot(const QString& path)
{
    EngineTrace(
        platform::formatText(QStringLiteral("DeleteOnReboot: %s stays, Linux deletes nothing at restart"), path));
}

void RemoveEngine()
{
    if (!RunDeleterHelper())
        DeleteOnReboot(platform::modulePath());
    const QString folder = RememberedUpdateFolder();
    if (!folder.isEmpty())
        DeleteEngineDataFolder(folder);
}

bool DeleteEngineDataFolder(const QString& folder)
{
    const QString engine = QFileInfo(EngineFolder()).canonicalFilePath();
    const QString target = QFileInfo(folder).canonicalFilePath();
    // The canonical path resolves links and "..", so a recorded path cannot lead the
    // removal out of the engine's own folder.
    if (engine.isEmpty() || target.isEmpty() || !target.startsWith(engine + u'/')) {
        EngineTrace(platform::formatText(QStringLiteral("DeleteEngineDataFolder: %s is not under %s, left alone"),
                                         folder, engine));
        return false;
    }
    QDir dir(target);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        // A link is removed itself, never what it points at.
        if (!QFile::remove(entry.filePath()))
            EngineTrace(
                platform::formatText(QStringLiteral("DeleteEngineDataFolder: cannot delete %s"), entry.filePath()));
    }
    // The folder, then its parents while they are empty, up to "Quenmark" itself.
    const QString quenmark = QFileInfo(engine).path();
    QString current = target;
    while (current.startsWith(quenmark + u'/') || current == quenmark) {
        if (!QDir().rmdir(current))
            break;
        if (current == quenmark)
            break;
        current = QFileInfo(current).path();
    }
    return true;
}

bool DeleteRegistryTree(platform::RootKey root, const QString& path, bool recursive, QString* error)
{
    bool deleted = false;
    const bool written = platform::Registry::update(
        root,
        [&](platform::Hive& hive) {
            deleted = deleteTree(hive, path, recursive, error);
            return deleted;
        },
        error);
    // A deletion that could not be written did not happen.
    return written && deleted;
}

void DeleteEngineRegistryKeys()
{
    QString path = EngineRegistryKeyPath();
    if (path.isEmpty())
        return;
    if (QString error; !DeleteRegistryTree(platform::RootKey::CurrentUser, path, true, &error))
        EngineTrace(QStringLiteral("DeleteEngineRegistryKeys: ") + error);
    for (qsizetype cut = path.lastIndexOf(u'\\'); cut > 0; cut = path.lastIndexOf(u'\\')) {
        path.truncate(cut);
        if (!path.contains(u'\\'))
            break;
        if (!DeleteRegistryTree(platform::RootKey::CurrentUser, path, false))
            break;
    }
}

bool RemovePrefsFileIfLast(const QString& name)
{
    RegFile prefs(name);
    prefs.ReadExistingFields();
    const UninstallStrings& u = uninstallStrings();
    prefs.GetProductList(FourCC(QStringView(u.manufacturer)), FourCC(QStringView(u.product)));
    if (prefs.GetProductListCount() >= 2)
        return false;
    const QString path = prefs.GetFilePath();
    if (!QFile::remove(path)) {
        EngineTrace(platform::formatText(QStringLiteral("RemovePrefsFileIfLast: cannot delete %s"), path));
        return false;
    }
    return true;
}

}  // namespace launcher
