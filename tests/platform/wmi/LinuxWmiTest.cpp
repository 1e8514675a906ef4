#include "platform/registry/Registry.h"
#include "platform/wmi/LinuxWmi.h"

#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdlib>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

using platform::LinuxWmi;
using platform::LinuxWmiRoots;
using platform::Registry;
using platform::RegValue;
using platform::RootKey;

namespace {

QString dmiFixture(const char* name)
{
    return testsupport::fixturePath(QStringLiteral("dmi/") + QLatin1String(name));
}
QString machineFixture()
{
    return testsupport::sourceDir() + QStringLiteral("/tests/platform/wmi/fixtures/two-packages");
}

LinuxWmiRoots fixtureRoots(const QString& dmi)
{
    const QString m = machineFixture();
    return LinuxWmiRoots{
        dmi, m + QStringLiteral("/proc"), m + QStringLiteral("/sys"), {m + QStringLiteral("/os-release")}};
}

// A query's answer for one property, as a test reads it.
std::string answer(const platform::Wmi& wmi, const QString& query, const QString& property, QString* error = nullptr)
{
    const auto objects = wmi.query(query, {}, error);
    if (!objects)
        return "<invalid>";
    if (objects->isEmpty())
        return "<no object>";
    const auto v = objects->first().value(property);
    if (!v)
        return "<no property>";
    if (v->isNull())
        return "<null>";
    return v->toString().toStdString();
}

// The helper the denial test starts (as "nobody" when the tests run as root): it answers a
// few DMI-backed queries from the environment's roots, before the test main replaces them.
[[maybe_unused]] const int helperHook = [] {
    if (std::getenv("OVEX_WMI_HELPER") == nullptr)
        return 0;
    const LinuxWmi wmi;
    std::cout << "bios="
              << answer(wmi, QStringLiteral("SELECT SerialNumber FROM Win32_BIOS"), QStringLiteral("SerialNumber"))
              << " model=" << answer(wmi, QStringLiteral("SELECT * FROM Win32_ComputerSystem"), QStringLiteral("Model"))
              << " board="
              << answer(wmi, QStringLiteral("SELECT * FROM Win32_BaseBoard"), QStringLiteral("SerialNumber"))
              << std::endl;
    std::exit(0);
}();

struct QueryCase {
    const char* name;
    const char* query;
    const char* property;
    const char* expected;
    const char* error = "";  // the message of a query not understood
};

void PrintTo(const QueryCase& c, std::ostream* os)
{
    *os << c.name;
}

class DmiQueries : public ::testing::TestWithParam<QueryCase> {};

TEST_P(DmiQueries, Answer)
{
    const QueryCase& c = GetParam();
    const LinuxWmi wmi(fixtureRoots(dmiFixture("laptop")));
    QString error;
    EXPECT_EQ(answer(wmi, QString::fromUtf8(c.query), QString::fromUtf8(c.property), &error), c.expected) << c.query;
    EXPECT_EQ(error, QString::fromUtf8(c.error)) << c.query;
}

INSTANTIATE_TEST_SUITE_P(
    Laptop, DmiQueries,
    ::testing::Values(
        // Only the newline goes; the caller decides about other white space.
        QueryCase{"ModelKeepsItsSpaces", "select * from Win32_ComputerSystem", "Model", "Kelvo Book 14  "},
        QueryCase{"BiosSerial", "select * from Win32_BIOS", "SerialNumber", "QX7-0042-1138"},
        QueryCase{"Vendor", "SELECT Vendor FROM Win32_ComputerSystemProduct", "Vendor", "Quillon Systems"},
        QueryCase{"Uuid", "SELECT * FROM Win32_ComputerSystemProduct", "UUID", "4c4c4544-0051-3510-8058-b3c04f4e3132"},
        QueryCase{"BoardSerial", "SELECT SerialNumber FROM Win32_BaseBoard", "SerialNumber", "/QX7-0042/CN129/"},
        QueryCase{"EnclosureSerial", "SELECT * FROM Win32_SystemEnclosure", "SerialNumber", "QX7-CH-77"},
        QueryCase{"BiosVersion", "SELECT * FROM Win32_BIOS", "SMBIOSBIOSVersion", "1.17.0"},
        QueryCase{"BiosDateInCimForm", "SELECT ReleaseDate FROM Win32_BIOS", "ReleaseDate",
                  "20220314000000.000000+000"},
        QueryCase{"EmptyFileIsEmptyText", "SELECT * FROM Win32_ComputerSystemProduct", "Version", ""},
        QueryCase{"NamesInAnyCase", "select MODEL from WIN32_COMPUTERSYSTEM", "model", "Kelvo Book 14  "},
        QueryCase{"WhereMatchesWithoutCase",
                  "SELECT Name FROM Win32_ComputerSystemProduct WHERE Vendor = 'QUILLON systems'", "Name",
                  "Kelvo Book 14  "},
        QueryCase{"WhereOnPropertyNotSelected",
                  "SELECT Model FROM Win32_ComputerSystem WHERE Manufacturer = 'Quillon Systems'", "Model",
                  "Kelvo Book 14  "},
        QueryCase{"WhereMatchingNothing", "SELECT * FROM Win32_BIOS WHERE SerialNumber = 'other'", "SerialNumber",
                  "<no object>"},
        QueryCase{"OnlyTheSelectedProperties", "SELECT Model FROM Win32_ComputerSystem", "Manufacturer",
                  "<no property>"},
        QueryCase{"StarThenUnknownProperty", "SELECT * FROM Win32_BIOS", "Colour", "<no property>"},
        QueryCase{"UnknownSelectedProperty", "SELECT Colour FROM Win32_BIOS", "Colour", "<invalid>",
                  "Class Win32_BIOS has no property Colour (query \"SELECT Colour FROM Win32_BIOS\")"},
        QueryCase{"UnknownAmongKnownProperties", "select Model, colour from win32_computersystem", "Model", "<invalid>",
                  "Class Win32_ComputerSystem has no property colour (query \"select Model, colour from "
                  "win32_computersystem\")"},
        QueryCase{"UnknownWhereProperty", "SELECT * FROM Win32_BIOS WHERE Colour = 'red'", "SerialNumber", "<invalid>",
                  "Class Win32_BIOS has no property Colour (query \"SELECT * FROM Win32_BIOS WHERE Colour = 'red'\")"},
        QueryCase{"UnknownClass", "SELECT * FROM Win32_Fan", "Name", "<invalid>",
                  "Unknown WMI class Win32_Fan in the query \"SELECT * FROM Win32_Fan\""},
        QueryCase{"NotWql", "GET Model", "Model", "<invalid>",
                  "Unable to read the WQL query \"GET Model\": it does not start with SELECT"},
        QueryCase{"UnclosedValue", "SELECT * FROM Win32_BIOS WHERE Version = '1.17", "Version", "<invalid>",
                  "Unable to read the WQL query \"SELECT * FROM Win32_BIOS WHERE Version = '1.17\": the quoted value "
                  "is not closed"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file that is not there has no value, and the snapshot is not asked: it holds only what
// sysfs denies, and a stale entry there must not stand in for hardware that has none.
TEST(LinuxWmiDmi, MissingFilesAndFolderGiveNullValues)
{
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, platform::dmiSnapshotKey(), QStringLiteral("product_serial"),
                                   RegValue::fromString(QStringLiteral("STALE"))));
    const LinuxWmi fewFiles(fixtureRoots(dmiFixture("no-serial-files")));
    EXPECT_EQ(answer(fewFiles, QStringLiteral("SELECT * FROM Win32_BIOS"), QStringLiteral("SerialNumber")), "<null>");
    EXPECT_EQ(answer(fewFiles, QStringLiteral("SELECT * FROM Win32_ComputerSystem"), QStringLiteral("Model")),
              "Kelvo Desk 7");

    const LinuxWmi noFolder(fixtureRoots(testsupport::sandboxRoot() + QStringLiteral("/no-dmi-here")));
    const auto objects = noFolder.query(QStringLiteral("SELECT * FROM Win32_ComputerSystemProduct"));
    ASSERT_TRUE(objects);
    ASSERT_EQ(objects->size(), 1);
    for (const auto& p : objects->first().properties)
        EXPECT_TRUE(p.value.isNull()) << p.name.toStdString();
}

// sysfs gives the serial numbers to root only; a user's process reads the installation's
// snapshot instead. The denial is real: the files are closed to the helper's user.
TEST(LinuxWmiDmi, DeniedFileFallsBackToTheHiveSnapshot)
{
    const QString sandbox = testsupport::sandboxRoot();
    ASSERT_EQ(::chmod(QFile::encodeName(sandbox).constData(), 0755), 0);
    const QString dmi = sandbox + QStringLiteral("/dmi");
    ASSERT_TRUE(QDir().mkpath(dmi));
    for (const QString& name : QDir(dmiFixture("laptop")).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(dmiFixture("laptop") + u'/' + name, dmi + u'/' + name));
    const bool asRoot = ::geteuid() == 0;
    for (const char* name : {"product_serial", "board_serial"})
        ASSERT_EQ(::chmod(QFile::encodeName(dmi + u'/' + QLatin1String(name)).constData(), asRoot ? 0400 : 0000), 0);
    // The snapshot knows the product serial but not the board's.
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, platform::dmiSnapshotKey(), QStringLiteral("Product_Serial"),
                                   RegValue::fromString(QStringLiteral("SNAP-0042"))));

    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OVEX_WMI_HELPER"), QStringLiteral("1"));
    env.insert(QStringLiteral("OVEX_DMI_DIR"), dmi);
    helper.setProcessEnvironment(env);
    testsupport::runAsNobodyWhenRoot(helper);
    helper.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(helper.waitForFinished(30000));
    if (testsupport::couldNotBecomeNobody(helper))
        GTEST_SKIP() << "cannot drop root to run the helper as nobody";
    ASSERT_EQ(helper.exitCode(), 0) << helper.readAllStandardError().toStdString();
    EXPECT_EQ(helper.readAllStandardOutput().trimmed().toStdString(),
              "bios=SNAP-0042 model=Kelvo Book 14   board=<null>");
}

TEST(LinuxWmiDmi, EnvironmentNamesTheDmiFolder)
{
    EXPECT_EQ(LinuxWmiRoots::fromEnvironment().dmi, QStringLiteral("/sys/class/dmi/id"));
    ::setenv("OVEX_DMI_DIR", QFile::encodeName(dmiFixture("laptop")).constData(), 1);
    EXPECT_EQ(
        answer(*platform::systemWmi(), QStringLiteral("select * from Win32_BIOS"), QStringLiteral("SerialNumber")),
        "QX7-0042-1138");
}

// The processors, memory, host and system of a two-package machine.
TEST(LinuxWmiMachine, ProcessorsMemoryAndSystem)
{
    const LinuxWmi wmi(fixtureRoots(dmiFixture("laptop")));
    const auto cpus = wmi.query(QStringLiteral("SELECT * FROM Win32_Processor"));
    ASSERT_TRUE(cpus);
    ASSERT_EQ(cpus->size(), 2);
    struct Expect {
        const char* property;
        const char* first;
        const char* second;
    };
    // The second package has no cpufreq folder and no "cpu cores" line: its maximum is its
    // current clock and its cores are its distinct core ids.
    for (const Expect& e :
         {Expect{"Name", "Intel(R) Xeon(R) Gold 6148 CPU @ 2.40GHz", "AMD EPYC 7B13"},
          Expect{"Manufacturer", "GenuineIntel", "AuthenticAMD"}, Expect{"CurrentClockSpeed", "2394", "2450"},
          Expect{"MaxClockSpeed", "3500", "2450"}, Expect{"NumberOfCores", "2", "2"}}) {
        SCOPED_TRACE(e.property);
        EXPECT_EQ((*cpus)[0].value(QLatin1String(e.property))->toString().toStdString(), e.first);
        EXPECT_EQ((*cpus)[1].value(QLatin1String(e.property))->toString().toStdString(), e.second);
    }
    EXPECT_EQ(answer(wmi, QStringLiteral("SELECT Name FROM Win32_Processor WHERE CurrentClockSpeed = 2450"),
                     QStringLiteral("Name")),
              "AMD EPYC 7B13");

    for (const QueryCase& c : {
             QueryCase{"", "SELECT * FROM Win32_ComputerSystem", "NumberOfProcessors", "2"},
             QueryCase{"", "SELECT * FROM Win32_ComputerSystem", "TotalPhysicalMemory", "16706547712"},
             QueryCase{"", "SELECT * FROM Win32_ComputerSystem", "Name", "kelvo-test-host"},
             // The costly columns are read only when asked for, by name or by the condition.
             QueryCase{"", "SELECT NumberOfProcessors FROM Win32_ComputerSystem", "NumberOfProcessors", "2"},
             QueryCase{"", "SELECT TotalPhysicalMemory FROM Win32_ComputerSystem", "TotalPhysicalMemory",
                       "16706547712"},
             QueryCase{"", "SELECT Name FROM Win32_ComputerSystem WHERE NumberOfProcessors = 2", "Name",
                       "kelvo-test-host"},
             QueryCase{"", "SELECT Name FROM Win32_ComputerSystem WHERE TotalPhysicalMemory = 16706547712", "Name",
                       "kelvo-test-host"},
             QueryCase{"", "SELECT * FROM Win32_OperatingSystem", "Caption", "Quillux 12 \"Birch\""},
             QueryCase{"", "SELECT * FROM Win32_OperatingSystem", "Version", "12"},
             QueryCase{"", "SELECT * FROM Win32_OperatingSystem", "BuildNumber", "6.1.0-18-amd64"},
             QueryCase{"", "SELECT * FROM Win32_OperatingSystem", "TotalVisibleMemorySize", "16314988"},
             QueryCase{"", "SELECT * FROM Win32_OperatingSystem", "FreePhysicalMemory", "9876540"},
         }) {
        EXPECT_EQ(answer(wmi, QString::fromUtf8(c.query), QString::fromUtf8(c.property)), c.expected) << c.property;
    }
    // A caller that names what it reads gets that from "select *", whatever the case of the name.
    const auto narrowed =
        wmi.query(QStringLiteral("SELECT * FROM Win32_ComputerSystem"), {QStringLiteral("numberofprocessors")});
    ASSERT_TRUE(narrowed && narrowed->size() == 1);
    EXPECT_EQ(narrowed->first().value(QStringLiteral("NumberOfProcessors"))->toString(), QStringLiteral("2"));
    const std::string arch =
        answer(wmi, QStringLiteral("SELECT * FROM Win32_OperatingSystem"), QStringLiteral("OSArchitecture"));
    EXPECT_TRUE(arch == "64-bit" || arch == "32-bit") << arch;
}

TEST(LinuxWmiMachine, UnreadableProcGivesNoProcessorsAndNullCounts)
{
    LinuxWmiRoots roots = fixtureRoots(dmiFixture("laptop"));
    roots.proc = testsupport::sandboxRoot() + QStringLiteral("/no-proc");
    roots.osRelease = {testsupport::sandboxRoot() + QStringLiteral("/no-os-release")};
    const LinuxWmi wmi(roots);
    const auto cpus = wmi.query(QStringLiteral("SELECT * FROM Win32_Processor"));
    ASSERT_TRUE(cpus);
    EXPECT_TRUE(cpus->isEmpty());
    EXPECT_EQ(answer(wmi, QStringLiteral("SELECT * FROM Win32_ComputerSystem"), QStringLiteral("NumberOfProcessors")),
              "<null>");
    EXPECT_EQ(answer(wmi, QStringLiteral("SELECT * FROM Win32_ComputerSystem"), QStringLiteral("TotalPhysicalMemory")),
              "<null>");
    EXPECT_EQ(answer(wmi, QStringLiteral("SELECT * FROM Win32_OperatingSystem"), QStringLiteral("Caption")), "Linux");
}

// Disks are the mounted block devices, each mount point once, with the sizes statvfs gives.
TEST(LinuxWmiMachine, LogicalDisksFromMounts)
{
    const QString root = testsupport::sandboxRoot();
    for (const char* d : {"/disk", "/with space"})
        ASSERT_TRUE(QDir().mkpath(root + QLatin1String(d)));
    const QByteArray r = QFile::encodeName(root);
    testsupport::writeFile(root + QStringLiteral("/proc/self/mounts"), "/dev/sda1 " + r +
                                                                           "/disk ext4 rw,relatime 0 0\n"
                                                                           "tmpfs /run tmpfs rw 0 0\n"
                                                                           "proc /proc proc rw 0 0\n"
                                                                           "/dev/sdb1 " +
                                                                           r +
                                                                           "/with\\040space xfs rw 0 0\n"
                                                                           "/dev/sdc1 " +
                                                                           r +
                                                                           "/gone vfat rw 0 0\n"
                                                                           "/dev/sdd1 " +
                                                                           r + "/disk btrfs rw 0 0\n");
    LinuxWmiRoots roots = fixtureRoots(dmiFixture("laptop"));
    roots.proc = root + QStringLiteral("/proc");
    const LinuxWmi wmi(roots);

    const auto disks = wmi.query(QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
    ASSERT_TRUE(disks);
    ASSERT_EQ(disks->size(), 3);
    EXPECT_EQ((*disks)[0].value(QStringLiteral("DeviceID"))->toString(), root + QStringLiteral("/disk"));
    EXPECT_EQ((*disks)[0].value(QStringLiteral("FileSystem"))->toString(),
              QStringLiteral("btrfs"));  // the later mount hides the first
    EXPECT_EQ((*disks)[1].value(QStringLiteral("DeviceID"))->toString(), root + QStringLiteral("/with space"));
    for (int i : {0, 1}) {
        const quint64 size = (*disks)[i].value(QStringLiteral("Size"))->toULongLong();
        EXPECT_GT(size, 0u);
        EXPECT_LE((*disks)[i].value(QStringLiteral("FreeSpace"))->toULongLong(), size);
    }
    EXPECT_TRUE((*disks)[2].value(QStringLiteral("Size"))->isNull());
    EXPECT_TRUE((*disks)[2].value(QStringLiteral("FreeSpace"))->isNull());
    EXPECT_EQ(
        answer(wmi,
               QStringLiteral("SELECT FileSystem FROM Win32_LogicalDisk WHERE DeviceID = '%1/with space'").arg(root),
               QStringLiteral("FileSystem")),
        "xfs");
}

}  // namespace
