#include "platform/hardware/Edid.h"
#include "platform/hardware/HardwareText.h"
#include "platform/hardware/LinuxHardware.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace platform;

namespace {

QString fixture(const QString& part)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/fixtures/hardware/") + part;
}

LinuxHardwareRoots fixtureRoots()
{
    LinuxHardwareRoots roots;
    roots.proc = fixture(QStringLiteral("proc"));
    roots.sys = fixture(QStringLiteral("sys"));
    roots.cupsFiles = {fixture(QStringLiteral("cups/missing")), fixture(QStringLiteral("cups/lpoptions")),
                       fixture(QStringLiteral("cups/printers.conf"))};
    return roots;
}

QByteArray edidWithName(const QByteArray& name, bool fixChecksum = true)
{
    QByteArray e(128, '\0');
    const unsigned char header[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    for (int i = 0; i < 8; ++i)
        e[i] = char(header[i]);
    e[8] = char(0x10);
    e[9] = char(0xAC);
    e[10] = char(0xA0);
    e[11] = char(0x40);
    if (!name.isEmpty()) {
        // The name in the second descriptor, after a timing descriptor.
        e[72 + 3] = char(0xFC);
        QByteArray text = name + '\n';
        for (int i = 0; i < 13; ++i)
            e[72 + 5 + i] = i < text.size() ? text[i] : ' ';
        e[54] = char(0x3A);  // a pixel clock: not a text descriptor
    }
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += quint8(e[i]);
    e[127] = char((256 - sum % 256) % 256 + (fixChecksum ? 0 : 1));
    return e;
}

}  // namespace

TEST(Edid, ReadsNameMakerAndProductOrRefusesBrokenBlocks)
{
    const std::optional<EdidInfo> named = parseEdid(edidWithName("U2412M"));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->manufacturer, QStringLiteral("DEL"));
    EXPECT_EQ(named->productCode, 0x40A0);
    EXPECT_EQ(named->name, QStringLiteral("U2412M"));
    EXPECT_EQ(edidDisplayName(*named), QStringLiteral("U2412M"));

    const std::optional<EdidInfo> unnamed = parseEdid(edidWithName(""));
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(edidDisplayName(*unnamed), QStringLiteral("DEL 40a0"));

    EXPECT_FALSE(parseEdid(edidWithName("U2412M", false))) << "a wrong checksum";
    EXPECT_FALSE(parseEdid(edidWithName("U2412M").left(127))) << "a short block";
    QByteArray badHeader = edidWithName("U2412M");
    badHeader[0] = 1;
    EXPECT_FALSE(parseEdid(badHeader));
    EXPECT_FALSE(parseEdid(QByteArray()));
}

TEST(HardwareText, ReadsTheFieldsAndSurvivesOddShapes)
{
    const std::optional<ProcessorInfo> cpu = parseCpuInfo(
        "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 25\nmodel\t\t: 33\n"
        "model name\t: AMD Ryzen 9 5950X\nflags\t\t: fpu mmx sse sse2\ncpu MHz\t\t: 3400.4\n\n"
        "processor\t: 1\nvendor_id\t: GenuineIntel\n");
    ASSERT_TRUE(cpu);
    EXPECT_EQ(cpu->vendor, QStringLiteral("AuthenticAMD")) << "only the first processor counts";
    EXPECT_EQ(cpu->family, 25);
    EXPECT_EQ(cpu->model, 33);
    EXPECT_EQ(cpu->mhz, 3400u);
    EXPECT_TRUE(cpu->flags.contains(QStringLiteral("sse2")));
    EXPECT_FALSE(parseCpuInfo("processor : 0\nmodel : 4\n")) << "no vendor";
    EXPECT_FALSE(parseCpuInfo(""));

    // 64 GB does not fit 32 bits.
    const std::optional<MemoryInfo> mem = parseMemInfo("MemTotal:  67108864 kB\nSwapTotal: 1024 kB\n");
    ASSERT_TRUE(mem);
    EXPECT_EQ(mem->totalPhysical, quint64(64) << 30);
    EXPECT_EQ(mem->totalSwap, quint64(1) << 20);
    EXPECT_FALSE(parseMemInfo("MemFree: 12 kB\n"));
    EXPECT_FALSE(parseMemInfo("MemTotal: 99999999999999999999999 kB\n"));

    EXPECT_EQ(parseSoundCards("--- no soundcards ---\n"), std::nullopt);
    EXPECT_EQ(parseSoundCards(" 0 [Gen ]: USB-Audio - Scarlett 2i2\n"), QStringLiteral("Scarlett 2i2"));
    EXPECT_EQ(parseSoundVersion("Advanced Linux Sound Architecture Driver Version k6.1.0.\n"),
              QStringLiteral("k6.1.0"));
    EXPECT_EQ(parseSoundVersion("nothing here"), std::nullopt);

    EXPECT_EQ(parseCupsDefault("Dest a\nDefault Office/duplex x=y\n"), QStringLiteral("Office/duplex"));
    EXPECT_EQ(parseCupsDefault("<DefaultPrinter Main>\n"), QStringLiteral("Main"));
    EXPECT_EQ(parseCupsDefault("<Printer Other>\nDefaultX y\n"), std::nullopt);
}

TEST(LinuxHardware, ReadsTheFixtureMachine)
{
    const LinuxHardware hw(fixtureRoots());
    const std::optional<ProcessorInfo> cpu = hw.processor();
    ASSERT_TRUE(cpu);
    EXPECT_EQ(cpu->vendor, QStringLiteral("GenuineIntel"));
    EXPECT_EQ(cpu->model, 151);
    EXPECT_EQ(cpu->mhz, 2096u);

    const std::optional<MemoryInfo> mem = hw.memory();
    ASSERT_TRUE(mem);
    EXPECT_EQ(mem->totalPhysical, quint64(65536000) * 1024);

    const std::optional<DisplayDevice> display = hw.displayDevice();
    ASSERT_TRUE(display);
    EXPECT_EQ(display->adapter, QStringLiteral("i915 8086:3e92"));
    EXPECT_EQ(display->driver, QStringLiteral("i915"));
    EXPECT_EQ(display->driverVersion, QStringLiteral("6.1.0-13-amd64")) << "an in-tree driver has the kernel's";
    EXPECT_EQ(display->monitor, QStringLiteral("DELL U2412M")) << "the connected connector, not eDP-1";

    const std::optional<SoundCard> sound = hw.soundCard();
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->name, QStringLiteral("HDA Intel PCH"));
    EXPECT_EQ(sound->driverVersion, QStringLiteral("k6.1.0-13-amd64"));

    EXPECT_EQ(hw.defaultPrinter(), QStringLiteral("Office_Laser/duplex"));
    LinuxHardwareRoots serverOnly = fixtureRoots();
    serverOnly.cupsFiles.removeAt(1);
    EXPECT_EQ(LinuxHardware(serverOnly).defaultPrinter(), QStringLiteral("Server_Printer"));
    serverOnly.printerVariable = QStringLiteral("FromEnv");
    EXPECT_EQ(LinuxHardware(serverOnly).defaultPrinter(), QStringLiteral("FromEnv"));
}

TEST(LinuxHardware, AnEmptyMachineAnswersNothing)
{
    const QString empty = testsupport::sandboxRoot() + QStringLiteral("/empty");
    QDir().mkpath(empty);
    LinuxHardwareRoots roots;
    roots.proc = roots.sys = empty;
    roots.cupsFiles = {empty + QStringLiteral("/lpoptions")};
    const LinuxHardware hw(roots);
    EXPECT_FALSE(hw.processor());
    EXPECT_FALSE(hw.memory());
    EXPECT_FALSE(hw.displayDevice());
    EXPECT_FALSE(hw.soundCard());
    EXPECT_FALSE(hw.defaultPrinter());
    EXPECT_FALSE(hw.diskSpace(empty + QStringLiteral("/none")));
}

TEST(LinuxHardware, LiveOnThisMachine)
{
    LinuxHardwareRoots roots;
    roots.cupsFiles.clear();
    const LinuxHardware hw(roots);
    const std::optional<MemoryInfo> mem = hw.memory();
    ASSERT_TRUE(mem);
    EXPECT_GT(mem->totalPhysical, quint64(64) << 20);
    const std::optional<DiskSpace> root = hw.diskSpace(QStringLiteral("/"));
    ASSERT_TRUE(root);
    EXPECT_GT(root->totalBytes, 0u);
    EXPECT_LE(root->freeBytes, root->totalBytes);
    // The tests' application has a screen (offscreen unless a display is given).
    const std::optional<ScreenSize> screen = hw.screen();
    ASSERT_TRUE(screen);
    EXPECT_GT(screen->width, 0);
    EXPECT_GT(screen->depth, 0);
#if defined(__x86_64__) || defined(__i386__)
    const std::optional<ProcessorInfo> cpu = hw.processor();
    ASSERT_TRUE(cpu);
    EXPECT_FALSE(cpu->vendor.isEmpty());
    EXPECT_GT(cpu->family, 0);
#endif
}
