#include "regengine/sysinfo/CpuInfo.h"
#include "regengine/sysinfo/QmSysInfo.h"
#include "regengine/sysinfo/SysInfoSources.h"
#include "regengine/sysinfo/SysParameter.h"

#include "regengine/core/Versions.h"

#include "platform/hardware/Hardware.h"
#include "platform/hardware/LinuxHardware.h"
#include "platform/registry/Registry.h"
#include "platform/telephony/HayesTelephony.h"

#include "tests/peers/FakeModem.h"

#include "tests/support/TestEnvironment.h"
#include "tests/support/TraceRecorder.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace engine;

namespace {

// A machine of the test's making.
class FixedHardware : public platform::Hardware {
public:
    std::optional<platform::ScreenSize> screen() const override { return screenSize; }
    std::optional<platform::ProcessorInfo> processor() const override { return cpu; }
    std::optional<platform::MemoryInfo> memory() const override { return mem; }
    std::optional<platform::DiskSpace> diskSpace(const QString& path) const override
    {
        lastDiskPath = path;
        return disk;
    }
    std::optional<platform::DisplayDevice> displayDevice() const override { return display; }
    std::optional<platform::SoundCard> soundCard() const override { return sound; }
    std::optional<QString> defaultPrinter() const override { return printer; }

    std::optional<platform::ScreenSize> screenSize;
    std::optional<platform::ProcessorInfo> cpu;
    std::optional<platform::MemoryInfo> mem;
    std::optional<platform::DiskSpace> disk;
    std::optional<platform::DisplayDevice> display;
    std::optional<platform::SoundCard> sound;
    std::optional<QString> printer;
    mutable QString lastDiskPath;
};

class SysInfo : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::isolateEnvironment();
        hw = std::make_shared<FixedHardware>();
        SysInfoSources s;
        s.hardware = hw;
        s.currentDrive = QStringLiteral("/current");
        SetSysInfoSources(s);
        SetOsVersionRecord(OsVersionRecord{6, 1, 0, 2, QString()});
    }
    void TearDown() override { ResetSysInfoSources(); }

    QString item(int n)
    {
        QString text = QStringLiteral("unset");
        QmSysInfo().GetItem(n, 0, &text);
        return text;
    }
    QString param(const char* name)
    {
        QString text = QStringLiteral("unset");
        GetSysParameter(QString::fromLatin1(name), &text);
        return text;
    }

    std::shared_ptr<FixedHardware> hw;
};

}  // namespace

TEST_F(SysInfo, ItemsByNumberAndName)
{
    hw->screenSize = platform::ScreenSize{1280, 1024, 24};
    hw->disk = platform::DiskSpace{quint64(80) << 30, quint64(3) << 30};
    EXPECT_EQ(item(1), QStringLiteral("1280 x 1024"));
    EXPECT_EQ(item(0), QStringLiteral("0"));
    EXPECT_EQ(item(4), QStringLiteral("1"));
    EXPECT_EQ(item(6), QStringLiteral("0")) << "no default printer";
    hw->printer = QStringLiteral("Office");
    EXPECT_EQ(item(6), QStringLiteral("1"));
    EXPECT_EQ(item(8), QStringLiteral("Windows NT"));
    EXPECT_EQ(item(10), QStringLiteral("over 4GB"));
    EXPECT_EQ(hw->lastDiskPath, QStringLiteral("/current"));
    EXPECT_EQ(item(11), QStringLiteral("3145728 KB"));
    EXPECT_EQ(item(12), QStringLiteral("default Info on unspecified Item"));
    hw->disk.reset();
    EXPECT_EQ(item(10), QString()) << "a failed query gives empty text";
    EXPECT_EQ(item(11), QString());

    EXPECT_EQ(QmSysInfo::ItemForName(QStringLiteral("CPUM")), 0);
    EXPECT_EQ(QmSysInfo::ItemForName(QStringLiteral("cpum")), -1) << "letter case counts";
    EXPECT_EQ(QmSysInfo::ItemForName(QStringLiteral("????")), 2);
    EXPECT_EQ(QmSysInfo::ItemForName(QStringLiteral("HDSZ")), 10);
}

// The classes meet: no size falls between two of them.
TEST(DiskSizeClass, ClassesLeaveNoGaps)
{
    struct Case {
        quint64 bytes;
        const char* text;
    } cases[] = {
        {0, "less than 1 GB"},           {1023999999ull, "less than 1 GB"}, {1024000000ull, "1GB to 2GB"},
        {1024000512ull, "1GB to 2GB"},   {2047999999ull, "1GB to 2GB"},     {2048000000ull, "2GB to 4GB"},
        {2048001023ull, "2GB to 4GB"},   {4095999999ull, "2GB to 4GB"},     {4096000000ull, "over 4GB"},
        {quint64(80) << 30, "over 4GB"}, {~quint64(0), "over 4GB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QmSysInfo::DiskSizeClass(c.bytes), QString::fromLatin1(c.text)) << c.bytes;
}

TEST(CpuName, ModernProcessorsAreNotNamedAsOldOnes)
{
    struct Case {
        const char* vendor;
        int family;
        int model;
        const char* name;
    } cases[] = {
        {"GenuineIntel", 4, 1, "Intel 486DX"},
        {"GenuineIntel", 5, 4, "Intel Pentium-MMX"},
        {"GenuineIntel", 6, 8, "Intel Pentium-III"},
        {"GenuineIntel", 6, 9, "Unknown"},
        // Alder Lake is model 0x97: its low four bits alone would read as a Pentium III.
        {"GenuineIntel", 6, 151, "Unknown"},
        {"GenuineIntel", 15, 0, "Intel Pentium-4"},
        {"AuthenticAMD", 5, 8, "AMD K6-2"},
        {"AuthenticAMD", 6, 42, "AMD Athlon"},
        // Zen 3 is family 0x19 (15 + 10), not 0xAF nor 15.
        {"AuthenticAMD", 25, 33, "Unknown"},
        {"CyrixInstead", 9, 9, "Cyrix"},
        {"Quenmark", 6, 8, "Unknown"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetCpuName(c.family, c.model, QString::fromLatin1(c.vendor)), QString::fromLatin1(c.name))
            << c.vendor << " " << c.family << " " << c.model;
}

TEST_F(SysInfo, ProcessorRecordFromTheFixtureTree)
{
    platform::LinuxHardwareRoots roots;
    roots.proc = testsupport::sourceDir() + QStringLiteral("/tests/fixtures/hardware/proc");
    SysInfoSources s;
    s.hardware = std::make_shared<platform::LinuxHardware>(roots);
    SetSysInfoSources(s);
    CpuInfoRecord cpu;
    const quint32 features = GetCpuInfo(&cpu);
    EXPECT_EQ(cpu.vendor, QStringLiteral("GenuineIntel"));
    EXPECT_EQ(cpu.family, 6);
    EXPECT_EQ(cpu.model, 151);
    EXPECT_EQ(cpu.stepping, 2);
    EXPECT_EQ(cpu.name, QStringLiteral("Unknown"));
    EXPECT_EQ(cpu.reserved, 15);
    EXPECT_EQ(features, CpuFeature::MMX | CpuFeature::SSE | CpuFeature::SSE2);
    EXPECT_TRUE(IsInstructionSupported(CpuFeature::SSE2));
    EXPECT_FALSE(IsInstructionSupported(CpuFeature::Now3D));
    EXPECT_TRUE(IsInstructionSupported(0x100)) << "unknown features count as supported";
    EXPECT_EQ(GetCpuGeneration(), 6);
    EXPECT_EQ(param("CPUTYPESPECIFIC"), QStringLiteral("12th Gen Intel(R) Core(TM) i7-12700"));
}

TEST_F(SysInfo, ParametersByNameInAnyCase)
{
    hw->screenSize = platform::ScreenSize{1920, 1080, 32};
    hw->mem = platform::MemoryInfo{quint64(512) << 20, quint64(1) << 30};
    hw->disk = platform::DiskSpace{quint64(100) << 30, quint64(40) << 30};
    hw->display = platform::DisplayDevice{QStringLiteral("i915 8086:3e92"), QStringLiteral("DELL U2412M"),
                                          QStringLiteral("i915"), QStringLiteral("6.1.0")};
    hw->sound = platform::SoundCard{QStringLiteral("HDA Intel PCH"), QString()};
    hw->printer = QStringLiteral("Office");
    EXPECT_EQ(param("osvernum"), param("OSVERNUM"));
    EXPECT_EQ(param("OSHEX"), QStringLiteral("0x0601"));
    EXPECT_EQ(param("VIDRES"), QStringLiteral("1920 x 1080 x 32"));
    EXPECT_EQ(param("VIDCARD"), QStringLiteral("i915 8086:3e92"));
    EXPECT_EQ(param("VIDMON"), QStringLiteral("DELL U2412M"));
    EXPECT_EQ(param("VIDCARDVERS"), QStringLiteral("6.1.0"));
    EXPECT_EQ(param("MEMORY"), QStringLiteral("513"));
    EXPECT_EQ(param("PAGEFILE"), QStringLiteral("1537"));
    EXPECT_EQ(param("DISKSIZE"), QStringLiteral("102400"));
    EXPECT_EQ(param("DISKSPACE"), QStringLiteral("40960"));
    EXPECT_EQ(hw->lastDiskPath, QStringLiteral("/"));
    EXPECT_EQ(param("PRINTERNAME"), QStringLiteral("Office"));
    EXPECT_EQ(param("SNDCARD"), QStringLiteral("HDA Intel PCH"));
    EXPECT_EQ(param("SNDCARDVERS"), QStringLiteral("Unknown"));
    EXPECT_EQ(param("NETWORK"), QString());
    EXPECT_EQ(param("NOSUCHNAME"), QString()) << "the NT family gives empty text";
    EXPECT_EQ(param("DIRECTX"), QStringLiteral("Unknown"));
    EXPECT_EQ(param("CPUTYPESPECIFIC"), QStringLiteral("Unknown"));

    // Memory beyond 4 GiB counts in 64 bits.
    hw->mem = platform::MemoryInfo{quint64(64) << 30, 0};
    EXPECT_EQ(param("MEMORY"), QStringLiteral("65537"));

    hw->display.reset();
    hw->sound.reset();
    EXPECT_EQ(param("VIDCARD"), QStringLiteral("Unknown"));
    EXPECT_EQ(param("SNDCARD"), QStringLiteral("Unknown"));

    QString cut;
    GetSysParameter(QStringLiteral("VIDMON"), &cut, 4);
    EXPECT_EQ(cut, QStringLiteral("Unkn"));
}

TEST_F(SysInfo, RegistryBackedParameters)
{
    platform::Registry::setValue(platform::RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\DirectX"),
                                 QStringLiteral("Version"),
                                 platform::RegValue::fromString(QStringLiteral("4.09.00.0904")));
    EXPECT_EQ(param("DIRECTX"), QStringLiteral("09.00.0904"));
    const QString cpuKey = QStringLiteral("Hardware\\Description\\System\\CentralProcessor\\0");
    platform::Registry::setValue(platform::RootKey::LocalMachine, cpuKey, QStringLiteral("ProcessorNameString"),
                                 platform::RegValue::fromString(QStringLiteral("   Brand CPU")));
    EXPECT_EQ(param("CPUTYPESPECIFIC"), QStringLiteral("Brand CPU"));

    RegKeyReader key;
    EXPECT_EQ(key.Open(platform::RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Nothing")),
              RegKeyReader::kErrorFileNotFound);
    ASSERT_EQ(key.Open(platform::RootKey::LocalMachine, cpuKey), 0);
    platform::Registry::setValue(platform::RootKey::LocalMachine, cpuKey, QStringLiteral("Number"),
                                 platform::RegValue::fromDWord(7));
    QString text;
    qsizetype length = 0;
    EXPECT_EQ(key.ReadString(QStringLiteral("Number"), &text), RegKeyReader::kErrorInvalidData);
    EXPECT_EQ(key.ReadString(QStringLiteral("ProcessorNameString"), &text, &length), 0);
    EXPECT_EQ(length, 13);
}

TEST_F(SysInfo, OsNamesAndThe95Family)
{
    const OsVersionRecord xp{5, 1, 2600, 2, QStringLiteral("Service Pack 2")};
    EXPECT_EQ(GetOsName(xp), QStringLiteral("Windows XP Service Pack 2"));
    EXPECT_EQ(FormatOsVersion(xp), QStringLiteral("5.1.2600"));
    EXPECT_EQ(GetOsName(OsVersionRecord{4, 10, 0x040A08AE, 1, QString()}), QStringLiteral("Windows 98"));
    EXPECT_EQ(FormatOsVersion(OsVersionRecord{4, 10, 0x040A08AE, 1, QString()}), QStringLiteral("4.10.2222"));
    EXPECT_EQ(GetOsName(OsVersionRecord{6, 1, 0, 2, QString()}, QStringLiteral("Debian GNU/Linux 12 (bookworm)")),
              QStringLiteral("Debian GNU/Linux 12 (bookworm)"));

    SetOsVersionRecord(xp);
    EXPECT_EQ(param("OSHEX"), QStringLiteral("0x0501"));
    EXPECT_EQ(param("OSVERSTR"), QStringLiteral("Windows XP Service Pack 2"));
    EXPECT_EQ(item(9), QStringLiteral("Service Pack 2"));

    SetOsVersionRecord(OsVersionRecord{4, 10, 0, 1, QString()});
    EXPECT_EQ(item(8), QStringLiteral("Windows 98"));
    EXPECT_EQ(param("NOSUCHNAME"), QStringLiteral("Unknown"));
    EXPECT_EQ(param("CPUTYPE"), QStringLiteral("Unknown"));
    EXPECT_EQ(param("VIDCARDVERS"), QStringLiteral("Unknown"));
}

TEST(ModemSpeed, RatesAndMultiUse)
{
    struct Case {
        quint32 bearer;
        quint32 rate;
        const char* text;
    } cases[] = {{0, 9600, "14.4"},
                 {0, 28800, "28.8"},
                 {0, 33600, "33.6"},
                 {0, 56000, "56k"},
                 {0, 64000, "64.0"},
                 {0, 115200, "115.2"},
                 {platform::tel::kBearerModeMultiUse, 64000, "ISDN"}};
    for (const Case& c : cases)
        EXPECT_EQ(ModemSpeedText(c.bearer, c.rate), QString::fromLatin1(c.text)) << c.rate;
}

// MODEMSPD asks line 0's modem for its rates; no modem, or one that cannot say, leaves it
// empty.
TEST(ModemSpeed, AskedOfTheFirstModem)
{
    testsupport::isolateEnvironment();
    const QString noTty = testsupport::sandboxRoot() + QStringLiteral("/no-tty");
    QDir().mkpath(noTty);
    const auto useModems = [&](QStringList paths) {
        SysInfoSources s;
        s.telephony = [noTty, paths] {
            platform::HayesTelephonyOptions options;
            options.sysfsRoot = noTty;
            options.configured = paths;
            // Only the fake modem's rate is tried, so the answer ends every wait and the
            // bound is only for a modem that never answers, however busy the machine is.
            options.rates = {9600};
            options.answerMs = 20000;
            return std::make_unique<platform::HayesTelephony>(options);
        };
        SetSysInfoSources(s);
    };
    const auto speed = [] {
        QString text = QStringLiteral("stale");
        GetSysParameter(QStringLiteral("MODEMSPD"), &text);
        return text;
    };
    const struct {
        const char* answer;  // empty: the modem answers ERROR
        const char* text;
    } cases[] = {{"+MS: V34,1,300,33600,300,33600", "33.6"}, {"+MS: V92", "56k"}, {"", ""}};
    for (const auto& c : cases) {
        testpeers::FakeModem::Options options = testpeers::FakeModem::at(9600);
        options.modulationText = c.answer;
        testpeers::FakeModem modem(options);
        useModems({modem.devicePath()});
        testsupport::TraceRecorder trace;
        EXPECT_EQ(speed(), QString::fromLatin1(c.text)) << c.answer;
        // A modem that cannot say is traced in the telephony layer's words.
        const QString why =
            QStringLiteral("MODEMSPD: Modem %1 answered AT+MS? at 9600 bit/s with no rate").arg(modem.devicePath());
        EXPECT_EQ(trace.Contains(why), *c.answer == '\0') << trace.Text().toStdString();
    }
    useModems({});
    EXPECT_EQ(speed(), QString()) << "no modem";
    ResetSysInfoSources();
}

TEST(CpuSpeed, RoundRuleAndRounding)
{
    EXPECT_TRUE(CpuSpeedSettled(2000, 2001, 1999));
    EXPECT_FALSE(CpuSpeedSettled(2000, 2000, 2004));
    CpuSpeedRecord r{2996600, 1000, 0, 0};  // 2996.6 MHz
    FinishCpuSpeed(&r);
    EXPECT_EQ(r.mhz, 2996u);
    EXPECT_EQ(r.normalisedMhz, 2997u);
    r = CpuSpeedRecord{2996400, 1000, 0, 0};
    FinishCpuSpeed(&r);
    EXPECT_EQ(r.normalisedMhz, 2996u);
    r = CpuSpeedRecord{5, 0, 9, 9};
    FinishCpuSpeed(&r);
    EXPECT_EQ(r.normalisedMhz, 0u);
}

TEST(SysInfoLive, ThisMachineAnswers)
{
    testsupport::isolateEnvironment();
    ResetSysInfoSources();
    // What this system reports, whatever a test before set.
    SetOsVersionRecord(OsVersionRecord{6, 1, 0, 2, QString()});
    QString text;
    GetSysParameter(QStringLiteral("MEMORY"), &text);
    EXPECT_GT(text.toLongLong(), 64);
    GetSysParameter(QStringLiteral("DISKSIZE"), &text);
    EXPECT_GT(text.toLongLong(), 0);
    GetSysParameter(QStringLiteral("HASMODEM"), &text);
    EXPECT_TRUE(text == u"Yes" || text == u"No") << text.toStdString();
    QmSysInfo().GetItem(10, 0, &text);
    EXPECT_FALSE(text.isEmpty());
#if defined(__x86_64__)
    GetSysParameter(QStringLiteral("CPUVENDOR"), &text);
    EXPECT_FALSE(text.isEmpty());
    GetSysParameter(QStringLiteral("CPUTYPE"), &text);
    EXPECT_EQ(text, QStringLiteral("8664"));
    // The time-stamp measurement agrees with itself within a few percent.
    const quint32 a = GetCpuSpeedMHz();
    EXPECT_GT(a, 100u);
#endif
}
