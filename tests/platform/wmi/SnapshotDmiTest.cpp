#include "platform/registry/Registry.h"
#include "platform/wmi/Wmi.h"

#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

using platform::Registry;
using platform::RegValue;
using platform::RootKey;

namespace {

const QString kTool = QStringLiteral(OVEX_SNAPSHOT_DMI_TOOL);

QString laptopFixture()
{
    return testsupport::fixturePath(QStringLiteral("dmi/laptop"));
}
QString machineHive()
{
    return Registry::hiveFilePath(RootKey::LocalMachine);
}

std::optional<QString> snapshotValue(const char* name)
{
    const auto v = Registry::value(RootKey::LocalMachine, platform::dmiSnapshotKey(), QLatin1String(name));
    return v ? std::optional<QString>(v->text) : std::nullopt;
}

class SnapshotDmi : public ::testing::Test {
protected:
    // A machine hive as an installation leaves it, with an older snapshot in it.
    void SetUp() override
    {
        ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Ovex\\Ovex Kelvo"),
                                       QStringLiteral("InstallPath"),
                                       RegValue::fromString(QStringLiteral("/opt/ovex-kelvo/OvexKelvo"))));
        ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, QStringLiteral("SYSTEM\\Setup\\Status\\UnattendPasses"),
                                       QStringLiteral("oobeSystem"), RegValue::fromDWord(1)));
        ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, platform::dmiSnapshotKey(),
                                       QStringLiteral("product_name"),
                                       RegValue::fromString(QStringLiteral("Old Board"))));
        ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, platform::dmiSnapshotKey(),
                                       QStringLiteral("retired_value"), RegValue::fromString(QStringLiteral("gone"))));
    }

    void expectLaptopSnapshot()
    {
        QStringList names = Registry::valueNames(RootKey::LocalMachine, platform::dmiSnapshotKey());
        names.sort();
        QStringList files = QDir(laptopFixture()).entryList(QDir::Files, QDir::Name);
        files.removeAll(QStringLiteral("uevent"));
        files.removeAll(QStringLiteral("modalias"));
        EXPECT_EQ(names, files);
        EXPECT_EQ(snapshotValue("product_serial"), QStringLiteral("QX7-0042-1138"));
        EXPECT_EQ(snapshotValue("product_name"), QStringLiteral("Kelvo Book 14  "));
        EXPECT_EQ(snapshotValue("product_version"), QString(""));
        EXPECT_EQ(Registry::value(RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Ovex\\Ovex Kelvo"),
                                  QStringLiteral("InstallPath"))
                      ->text,
                  QStringLiteral("/opt/ovex-kelvo/OvexKelvo"));
        EXPECT_EQ(Registry::value(RootKey::LocalMachine, QStringLiteral("SYSTEM\\Setup\\Status\\UnattendPasses"),
                                  QStringLiteral("oobeSystem"))
                      ->number,
                  1u);
    }
};

TEST_F(SnapshotDmi, ReplacesTheSnapshotAndKeepsTheRestOfTheHive)
{
    const auto run = testsupport::runProgram(kTool, {laptopFixture()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectLaptopSnapshot();
    EXPECT_FALSE(snapshotValue("retired_value"));

    const QByteArray first = testsupport::readFile(machineHive());
    ASSERT_EQ(testsupport::runProgram(kTool, {laptopFixture()}).exitCode, 0);
    EXPECT_EQ(testsupport::readFile(machineHive()), first);
}

// The installation runs the script, which finds the tool installed beside it.
TEST_F(SnapshotDmi, ScriptRunsTheToolBesideIt)
{
    const QString prefix = testsupport::sandboxRoot() + QStringLiteral("/opt");
    ASSERT_TRUE(QDir().mkpath(prefix));
    ASSERT_TRUE(QFile::copy(testsupport::sourceDir() + QStringLiteral("/scripts/snapshot-dmi"),
                            prefix + QStringLiteral("/snapshot-dmi")));
    ASSERT_TRUE(QFile::link(kTool, prefix + QStringLiteral("/ovex-snapshot-dmi")));
    const auto run =
        testsupport::runProgram(QStringLiteral("/bin/sh"), {prefix + QStringLiteral("/snapshot-dmi"), laptopFixture()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectLaptopSnapshot();
}

TEST_F(SnapshotDmi, MissingFolderChangesNothing)
{
    const QByteArray before = testsupport::readFile(machineHive());
    const auto run = testsupport::runProgram(kTool, {testsupport::sandboxRoot() + QStringLiteral("/no-dmi")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("No DMI folder")) << run.err.toStdString();
    EXPECT_EQ(testsupport::readFile(machineHive()), before);
}

// Run by a user rather than root, the serial files are closed to it: a snapshot without
// them would pass for a good one, so nothing is written and the run fails. The hive's
// folder is open to that user, so only the tool's own check can stop the write.
TEST_F(SnapshotDmi, UnreadableValueFailsWithoutWriting)
{
    const QString sandbox = testsupport::sandboxRoot();
    ASSERT_EQ(::chmod(QFile::encodeName(sandbox).constData(), 0755), 0);
    const QString registry = qEnvironmentVariable("OVEX_REGISTRY_DIR");
    ASSERT_EQ(::chmod(QFile::encodeName(registry).constData(), 0777), 0);
    for (const QString& f : QDir(registry).entryList(QDir::Files))
        ASSERT_EQ(::chmod(QFile::encodeName(registry + u'/' + f).constData(), 0666), 0);
    const QString dmi = sandbox + QStringLiteral("/dmi");
    ASSERT_TRUE(QDir().mkpath(dmi));
    for (const QString& name : QDir(laptopFixture()).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(laptopFixture() + u'/' + name, dmi + u'/' + name));
    const bool asRoot = ::geteuid() == 0;
    ASSERT_EQ(::chmod(QFile::encodeName(dmi + QStringLiteral("/product_serial")).constData(), asRoot ? 0400 : 0000), 0);
    const QByteArray before = testsupport::readFile(machineHive());

    QProcess tool;
    testsupport::runAsNobodyWhenRoot(tool);
    tool.start(kTool, {dmi});
    ASSERT_TRUE(tool.waitForFinished(30000));
    if (testsupport::couldNotBecomeNobody(tool))
        GTEST_SKIP() << "cannot drop root to run the tool as nobody";
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(tool.readAllStandardError().contains("product_serial"));
    EXPECT_EQ(testsupport::readFile(machineHive()), before);
}

// A value the hive cannot store (a file name with a line break) fails the whole run: half a
// snapshot is never written in place of the whole one before it.
TEST_F(SnapshotDmi, AValueTheHiveCannotStoreWritesNothing)
{
    const QString dmi = testsupport::sandboxRoot() + QStringLiteral("/dmi");
    ASSERT_TRUE(QDir().mkpath(dmi));
    for (const QString& name : QDir(laptopFixture()).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(laptopFixture() + u'/' + name, dmi + u'/' + name));
    testsupport::writeFile(dmi + QStringLiteral("/odd\nname"), "x\n");
    const QByteArray before = testsupport::readFile(machineHive());

    const auto run = testsupport::runProgram(kTool, {dmi});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("The value name \"odd\nname\" holds a line break")) << run.err.toStdString();
    EXPECT_EQ(testsupport::readFile(machineHive()), before);
}

}  // namespace
