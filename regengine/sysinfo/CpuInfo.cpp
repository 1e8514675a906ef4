#include "regengine/sysinfo/CpuInfo.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/WMIQuery.h"
#include "regengine/sysinfo/SysInfoSources.h"

#include "platform/hardware/Hardware.h"

#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define OVEX_HAVE_TSC 1
#endif

namespace engine {

namespace {

struct NameRow {
    const char* vendor;
    int family;    // -1 any
    int modelLow;  // -1 any
    int modelHigh;
    const char* name;
};

// The vendor, family and model rows; the first that matches names the processor.
constexpr NameRow kNames[] = {
    {"GenuineIntel", 4, 0, 1, "Intel 486DX"},
    {"GenuineIntel", 4, 2, 2, "Intel 486SX"},
    {"GenuineIntel", 4, 3, 3, "Intel 486DX2"},
    {"GenuineIntel", 4, 4, 4, "Intel 486SL"},
    {"GenuineIntel", 4, 5, 5, "Intel 486SX2"},
    {"GenuineIntel", 4, 7, 7, "Intel 486DX2E"},
    {"GenuineIntel", 4, 8, 8, "Intel 486DX4"},
    {"GenuineIntel", 5, 1, 3, "Intel Pentium"},
    {"GenuineIntel", 5, 4, 4, "Intel Pentium-MMX"},
    {"GenuineIntel", 6, 1, 1, "Intel Pentium-Pro"},
    {"GenuineIntel", 6, 3, 3, "Intel Pentium-II"},
    {"GenuineIntel", 6, 5, 5, "Intel Pentium-II"},
    {"GenuineIntel", 6, 6, 6, "Intel Celeron"},
    {"GenuineIntel", 6, 7, 8, "Intel Pentium-III"},
    {"GenuineIntel", 6, 10, 10, "Intel Pentium-III"},
    {"GenuineIntel", 15, 0, 0, "Intel Pentium-4"},
    {"AuthenticAMD", 4, -1, -1, "AMD Am486"},
    {"AuthenticAMD", 5, 0, 3, "AMD K5"},
    {"AuthenticAMD", 5, 6, 7, "AMD K6"},
    {"AuthenticAMD", 5, 8, 8, "AMD K6-2"},
    {"AuthenticAMD", 5, 9, 15, "AMD K6-3"},
    {"AuthenticAMD", 6, -1, -1, "AMD Athlon"},
    {"CyrixInstead", -1, -1, -1, "Cyrix"},
    {"CentaurHauls", -1, -1, -1, "Centaur"},
};

struct FlagBit {
    const char* flag;
    quint32 bit;
};
constexpr FlagBit kFlags[] = {
    {"mmx", CpuFeature::MMX}, {"sse", CpuFeature::SSE}, {"sse2", CpuFeature::SSE2}, {"3dnow", CpuFeature::Now3D}};

quint32 featureBits(const QStringList& flags)
{
    quint32 bits = 0;
    for (const FlagBit& f : kFlags) {
        if (flags.contains(QLatin1StringView(f.flag)))
            bits |= f.bit;
    }
    return bits;
}

}  // namespace

QString GetCpuName(int family, int model, const QString& vendor)
{
    for (const NameRow& row : kNames) {
        if (vendor != QLatin1StringView(row.vendor))
            continue;
        if (row.family >= 0 && row.family != family)
            continue;
        if (row.modelLow >= 0 && (model < row.modelLow || model > row.modelHigh))
            continue;
        return QString::fromLatin1(row.name);
    }
    return QStringLiteral("Unknown");
}

quint32 GetCpuInfo(CpuInfoRecord* record)
{
    const std::optional<platform::ProcessorInfo> cpu = SysHardware().processor();
    if (!cpu) {
        if (record != nullptr)
            *record = CpuInfoRecord{QString(), QStringLiteral("Unknown")};
        return 0;
    }
    const quint32 reported = featureBits(cpu->flags);
    if (record != nullptr) {
        record->vendor = cpu->vendor.left(12);
        record->family = cpu->family;
        record->model = cpu->model;
        record->stepping = cpu->stepping;
        record->name = GetCpuName(cpu->family, cpu->model, record->vendor).left(31);
        record->featuresReported = reported;
        // The kernel's flags are already what programs may use.
        record->featuresUsable = reported;
        record->reserved = 15;
    }
    return reported;
}

bool IsInstructionSupported(quint32 feature)
{
    bool known = false;
    for (const FlagBit& f : kFlags)
        known = known || f.bit == feature;
    if (!known)
        return true;
    const std::optional<platform::ProcessorInfo> cpu = SysHardware().processor();
    return cpu && (featureBits(cpu->flags) & feature) != 0;
}

int GetCpuGeneration()
{
    const std::optional<platform::ProcessorInfo> cpu = SysHardware().processor();
    return cpu ? cpu->family : 0;
}

int GetProcessorType()
{
#if defined(__x86_64__)
    return 8664;
#elif defined(__i386__)
    const int family = GetCpuGeneration();
    return family >= 5 ? 586 : family == 4 ? 486 : 386;
#else
    return 0;
#endif
}

bool CpuSpeedSettled(quint32 a, quint32 b, quint32 c)
{
    const qint64 sum = qint64(a) + b + c;
    for (quint32 v : {a, b, c}) {
        if (qAbs(qint64(v) * 3 - sum) > 3)
            return false;
    }
    return true;
}

void FinishCpuSpeed(CpuSpeedRecord* r)
{
    if (r->microseconds == 0) {
        *r = CpuSpeedRecord{};
        return;
    }
    r->mhz = r->cycles / r->microseconds;
    // Tenths and hundredths of cycles / microseconds decide the rounding.
    const quint64 hundredths = quint64(r->cycles) * 100 / r->microseconds % 100;
    quint32 tenths = quint32(hundredths / 10);
    if (hundredths % 10 > 5)
        ++tenths;
    r->normalisedMhz = tenths > 5 ? r->mhz + 1 : r->mhz;
}

void GetCpuSpeed(CpuSpeedRecord* record)
{
    *record = CpuSpeedRecord{};
#ifdef OVEX_HAVE_TSC
    EngineTrace(QStringLiteral("Using the RDTSC method"));
    using Steady = std::chrono::steady_clock;
    auto micros = [](Steady::time_point t) {
        return quint64(std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count());
    };
    quint64 cycles = 0;
    quint64 elapsed = 0;
    quint32 last[3] = {0, 0, 0};
    for (int round = 0; round < 20; ++round) {
        // Microsecond ticks: 50 to settle, then 2000 measured.
        const quint64 start = micros(Steady::now());
        quint64 t0 = start;
        while ((t0 = micros(Steady::now())) - start < 50) {}
        const quint64 c0 = __rdtsc();
        quint64 t1 = t0;
        while ((t1 = micros(Steady::now())) - t0 < 2000) {}
        const quint64 c1 = __rdtsc();
        const quint64 us = t1 - t0;
        if (us == 0)
            return;
        const quint64 roundCycles = c1 - c0;
        cycles += roundCycles;
        elapsed += us;
        last[0] = last[1];
        last[1] = last[2];
        last[2] = quint32((roundCycles + us / 2) / us);
        if (round >= 2 && CpuSpeedSettled(last[0], last[1], last[2]))
            break;
    }
    // Kept in 32 bits as the record has them: a few billion cycles fit.
    record->cycles = quint32(qMin<quint64>(cycles, 0xFFFFFFFFu));
    record->microseconds = quint32(elapsed);
    if (cycles > 0xFFFFFFFFu) {
        // Scale both down together so the quotient stays right.
        const quint64 scale = cycles / 0xFFFFFFFFu + 1;
        record->cycles = quint32(cycles / scale);
        record->microseconds = quint32(qMax<quint64>(1, elapsed / scale));
    }
    FinishCpuSpeed(record);
#endif
}

quint32 GetCpuSpeedMHz()
{
    CpuSpeedRecord record;
    GetCpuSpeed(&record);
    return record.normalisedMhz;
}

quint32 GetCpuClockFromWmi()
{
    const QString text =
        WMIQuery().Query(QStringLiteral("select * from win32_processor"), QStringLiteral("CurrentClockSpeed"));
    bool ok = false;
    const quint32 mhz = text.toUInt(&ok);
    return ok ? mhz : 0;
}

}  // namespace engine
