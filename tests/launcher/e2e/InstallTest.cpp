// The installation into a DESTDIR, as a package build or an OEM image does it: the
// programs, the libraries and pages beside them, the autostart entry, and the machine hive's
// values; the installed client finds its library, and other hive values stay.
#include "tests/launcher/e2e/LauncherE2eSupport.h"
#include "tests/support/TestEnvironment.h"

#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

using namespace launchere2e;
using platform::Hive;
using platform::RegValue;
using platform::RootKey;

const QString kPrefix = QStringLiteral("/opt/ovex-kelvo");

QString destDir()
{
    return testsupport::sandboxRoot() + QStringLiteral("/root");
}
QString hiveFile()
{
    return destDir() + QStringLiteral("/etc/opt/ovex-kelvo/registry/HKEY_LOCAL_MACHINE.reg");
}

std::optional<Hive> installedHive()
{
    QString error;
    std::optional<Hive> hive = Hive::parse(RootKey::LocalMachine, testsupport::readFile(hiveFile()), &error);
    EXPECT_TRUE(hive) << error.toStdString();
    return hive;
}

QProcessEnvironment installEnv()
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("DESTDIR"), destDir());
    // The installation must write where DESTDIR says, whatever the installer's shell holds.
    env.insert(QStringLiteral("OVEX_REGISTRY_DIR"), testsupport::sandboxRoot() + QStringLiteral("/elsewhere"));
    return env;
}

TEST(Installation, PutsEverythingUnderDestdirAndRecordsTheClientsPath)
{
    // A value the machine hive held before stays.
    testsupport::writeFile(hiveFile(),
                           "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ovex\\Ovex Kelvo\\DMI]\n"
                           "\"product_serial\"=\"KEEP-ME\"\n");
    const testsupport::RunResult r = testsupport::runProgram(
        QStringLiteral(OVEX_CMAKE_COMMAND),
        {QStringLiteral("--install"), testsupport::binaryDir(), QStringLiteral("--prefix"), kPrefix}, installEnv(),
        300000);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();

    const QString root = destDir() + kPrefix;
    for (const char* program : {"OvexKelvo", "launcher", "ovex-snapshot-dmi", "snapshot-dmi"})
        EXPECT_TRUE(QFileInfo(root + u'/' + QLatin1String(program)).isExecutable()) << program;
    for (const char* file :
         {"libovex-inet.so.1", "libovex-browser.so.1", "messages/EMPTY.HTML", "messages/welcome.htm"})
        EXPECT_TRUE(QFileInfo::exists(root + u'/' + QLatin1String(file))) << file;
    const QByteArray autostart =
        testsupport::readFile(destDir() + QStringLiteral("/etc/xdg/autostart/ovex-kelvo-launcher.desktop"));
    EXPECT_TRUE(autostart.contains("\nExec=")) << autostart.toStdString();
    EXPECT_FALSE(QFileInfo::exists(testsupport::sandboxRoot() + QStringLiteral("/elsewhere/HKEY_LOCAL_MACHINE.reg")));

    const std::optional<Hive> hive = installedHive();
    ASSERT_TRUE(hive);
    EXPECT_EQ(hive->value(kProductKey, QStringLiteral("InstallPath")),
              RegValue::fromString(kPrefix + QStringLiteral("/OvexKelvo")));
    EXPECT_FALSE(hive->value(kSetupKey, QStringLiteral("oobeSystem"))) << "only an OEM installation records it";
    EXPECT_EQ(hive->value(kProductKey + QStringLiteral("\\DMI"), QStringLiteral("product_serial")),
              RegValue::fromString(QStringLiteral("KEEP-ME")));

    // The installed client loads the internet library beside it: "/schedule" ends at once.
    QProcessEnvironment env;
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), QString());
    const testsupport::RunResult client =
        testsupport::runProgram(root + QStringLiteral("/OvexKelvo"), {QStringLiteral("/schedule")}, env);
    EXPECT_EQ(client.exitCode, 0) << client.err.toStdString();
    EXPECT_FALSE(client.err.contains("error while loading shared libraries")) << client.err.toStdString();
}

// What the OEM option adds: the first-boot pass and the DMI snapshot, beside InstallPath.
TEST(Installation, OemRecordsTheFirstBootPassAndTheDmiSnapshot)
{
    QProcessEnvironment env = installEnv();
    const QString dmi = testsupport::fixturePath(QStringLiteral("dmi/laptop"));
    env.insert(QStringLiteral("OVEX_DMI_DIR"), dmi);
    const testsupport::RunResult r = testsupport::runProgram(
        QStringLiteral(OVEX_CMAKE_COMMAND),
        {QStringLiteral("-DOVEX_HIVE_TOOL=" OVEX_HIVE_TOOL), QStringLiteral("-DOVEX_SNAPSHOT_TOOL=" OVEX_SNAPSHOT_TOOL),
         QStringLiteral("-DOVEX_OEM=ON"), QStringLiteral("-DCMAKE_INSTALL_PREFIX=") + kPrefix, QStringLiteral("-P"),
         testsupport::sourceDir() + QStringLiteral("/install/MachineHive.cmake")},
        env);
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();

    const std::optional<Hive> hive = installedHive();
    ASSERT_TRUE(hive);
    EXPECT_EQ(hive->value(kProductKey, QStringLiteral("InstallPath")),
              RegValue::fromString(kPrefix + QStringLiteral("/OvexKelvo")));
    EXPECT_EQ(hive->value(kSetupKey, QStringLiteral("oobeSystem")), RegValue::fromDWord(1));
    EXPECT_EQ(hive->value(kProductKey + QStringLiteral("\\DMI"), QStringLiteral("product_serial")),
              RegValue::fromString(
                  QString::fromUtf8(testsupport::readFile(dmi + QStringLiteral("/product_serial"))).trimmed()));
}

}  // namespace
