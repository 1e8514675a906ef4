#include "launcher/reminders/EngineRemoval.h"
#include "launcher/update/UpdateFolder.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/SmartFile.h"

#include "platform/registry/Registry.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace engine;
using namespace launcher;
using platform::Registry;
using platform::RootKey;

namespace {

void makeKey(const QString& path)
{
    ASSERT_TRUE(Registry::createKey(RootKey::CurrentUser, path));
}

}  // namespace

TEST(EngineRemoval, RecursiveDeleteRemovesAWholeTreeAndStopsAtAFullParent)
{
    testsupport::isolateEnvironment();
    const QString base = QStringLiteral("Software\\Quenmark\\Veldora\\QMRK\\VELD");
    for (const char* sub : {"A\\A1", "A\\A2\\deep", "B\\B1", "C\\C1"})
        makeKey(base + u'\\' + QString::fromLatin1(sub));
    Registry::setValue(RootKey::CurrentUser, base + QStringLiteral("\\B"), QStringLiteral("v"),
                       platform::RegValue::fromDWord(1));
    makeKey(QStringLiteral("Software\\Quenmark\\Other"));

    EXPECT_FALSE(DeleteRegistryTree(RootKey::CurrentUser, base, false)) << "subkeys and no recursion";
    EXPECT_TRUE(Registry::keyExists(RootKey::CurrentUser, base + QStringLiteral("\\A\\A1")));
    EXPECT_TRUE(DeleteRegistryTree(RootKey::CurrentUser, base, true));
    EXPECT_FALSE(Registry::keyExists(RootKey::CurrentUser, base));
    EXPECT_FALSE(DeleteRegistryTree(RootKey::CurrentUser, base, true)) << "a missing key";

    // The upward walk: "VELD"'s parent goes, "Quenmark" stays for its other child.
    makeKey(base + QStringLiteral("\\X"));
    RememberUpdateFolder(QString());
    DeleteRegistryTree(RootKey::CurrentUser, base, true);
    EXPECT_TRUE(DeleteRegistryTree(RootKey::CurrentUser, QStringLiteral("Software\\Quenmark\\Veldora\\QMRK"), false));
    EXPECT_FALSE(DeleteRegistryTree(RootKey::CurrentUser, QStringLiteral("Software\\Quenmark"), false));
    EXPECT_TRUE(Registry::keyExists(RootKey::CurrentUser, QStringLiteral("Software\\Quenmark\\Other")));
}

TEST(EngineRemoval, DataFolderGoesWithItsEmptyParentsUpToQuenmark)
{
    testsupport::isolateEnvironment();
    const QString engine = EngineFolder();
    ASSERT_FALSE(engine.isEmpty());
    const QString updates = engine + QStringLiteral("/Updates/VELD/107-1F3");
    ASSERT_TRUE(QDir().mkpath(updates));
    testsupport::writeFile(updates + QStringLiteral("/pagesEN.dat"), "script");
    testsupport::writeFile(updates + QStringLiteral("/.hidden"), "x");
    RememberUpdateFolder(updates);
    RemoveEngine();
    EXPECT_FALSE(QFileInfo::exists(updates));
    EXPECT_FALSE(QFileInfo::exists(engine)) << "Veldora was empty";
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(engine).path())) << "Quenmark too";
    EXPECT_TRUE(QFileInfo::exists(QFileInfo(QFileInfo(engine).path()).path())) << "never above it";
}

TEST(EngineRemoval, AFolderWithOtherFilesAboveStopsTheClimb)
{
    testsupport::isolateEnvironment();
    const QString engine = EngineFolder();
    const QString updates = engine + QStringLiteral("/Updates/VELD/107-001");
    ASSERT_TRUE(QDir().mkpath(updates));
    testsupport::writeFile(engine + QStringLiteral("/Veldo.dat"), "prefs");
    EXPECT_TRUE(DeleteEngineDataFolder(updates));
    EXPECT_FALSE(QFileInfo::exists(engine + QStringLiteral("/Updates")));
    EXPECT_TRUE(QFileInfo::exists(engine + QStringLiteral("/Veldo.dat")));
}

// A recorded "Updates" path that points elsewhere, by "..", by a link or outright, is left
// alone with everything in it.
TEST(EngineRemoval, CraftedPathsOutsideTheEngineFolderAreLeftAlone)
{
    const QString root = testsupport::isolateEnvironment();
    const QString engine = EngineFolder();
    const QString victim = root + QStringLiteral("/victim");
    ASSERT_TRUE(QDir().mkpath(victim));
    testsupport::writeFile(victim + QStringLiteral("/precious.txt"), "keep me");
    ASSERT_TRUE(QDir().mkpath(engine + QStringLiteral("/Updates")));
    ASSERT_TRUE(QFile::link(victim, engine + QStringLiteral("/Updates/link")));
    const QString crafted[] = {
        victim,    engine + QStringLiteral("/../../../victim"), engine + QStringLiteral("/Updates/link"),
        engine,  // the engine folder itself holds the prefs file
        QString(),
    };
    for (const QString& path : crafted) {
        EXPECT_FALSE(DeleteEngineDataFolder(path)) << path.toStdString();
        EXPECT_TRUE(QFile::exists(victim + QStringLiteral("/precious.txt"))) << path.toStdString();
    }
    // A link inside a removed folder goes as a link; its target stays.
    const QString updates = engine + QStringLiteral("/Updates/VELD/1");
    ASSERT_TRUE(QDir().mkpath(updates));
    ASSERT_TRUE(QFile::link(victim + QStringLiteral("/precious.txt"), updates + QStringLiteral("/pagesEN.dat")));
    EXPECT_TRUE(DeleteEngineDataFolder(updates));
    EXPECT_FALSE(QFileInfo::exists(updates));
    EXPECT_TRUE(QFile::exists(victim + QStringLiteral("/precious.txt")));
}

TEST(EngineRemoval, PrefsFileGoesOnlyWhenNoOtherProductUsesIt)
{
    testsupport::isolateEnvironment();
    SetUninstallStrings(QStringLiteral("QMRK"), QStringLiteral("VELD"));
    {
        RegFile prefs(QStringLiteral("Veldo.dat"));
        prefs.GetProductList(FourCC("QMRK"), FourCC("VELD"));
        ASSERT_TRUE(prefs.Save());
    }
    EXPECT_TRUE(RemovePrefsFileIfLast(QStringLiteral("Veldo.dat")));
    EXPECT_FALSE(QFile::exists(EngineFolder() + QStringLiteral("/Veldo.dat")));
    {
        RegFile prefs(QStringLiteral("Veldo.dat"));
        prefs.GetProductList(FourCC("OTHR"), FourCC("PROD"));
        ASSERT_TRUE(prefs.Save());
    }
    EXPECT_FALSE(RemovePrefsFileIfLast(QStringLiteral("Veldo.dat"))) << "another product's list";
    EXPECT_TRUE(QFile::exists(EngineFolder() + QStringLiteral("/Veldo.dat")));
}
