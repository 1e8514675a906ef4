#pragma once

#include <QString>
#include <QtGlobal>

namespace engine {

// Feature bits of the processor record.
namespace CpuFeature {
constexpr quint32 MMX = 0x1;
constexpr quint32 SSE = 0x2;
constexpr quint32 SSE2 = 0x4;
constexpr quint32 Now3D = 0x8;
}  // namespace CpuFeature

struct CpuInfoRecord {
    QString vendor;  // at most 12 characters
    QString name;    // GetCpuName's, at most 31
    int family = 0;
    int model = 0;
    int stepping = 0;
    quint32 featuresReported = 0;
    quint32 featuresUsable = 0;
    int reserved = 15;  // always 15
};

struct CpuSpeedRecord {
    quint32 cycles = 0;
    quint32 microseconds = 0;
    quint32 mhz = 0;
    quint32 normalisedMhz = 0;
};

// Fills `record` (when given) from the processor the hardware layer reports; family and
// model are the kernel's, decoded by the processor's own rules (extended family and model
// included), so a modern processor is never taken for an old one. Returns the reported
// feature bits.
quint32 GetCpuInfo(CpuInfoRecord* record);
// The name of a processor of that vendor, family and model; "Unknown" for any other.
QString GetCpuName(int family, int model, const QString& vendor);
// Whether a feature (CpuFeature bit) can be used: the kernel lists a flag only for what
// the processor has and the kernel lets programs use. Other values count as supported.
bool IsInstructionSupported(quint32 feature);
// The processor's family; every processor Linux runs on answers CPUID.
int GetCpuGeneration();
// The processor type of the SYSTEMINFO item and CPUTYPE: 8664 for x86-64, 386, 486 or 586
// by family on 32-bit x86, 0 elsewhere.
int GetProcessorType();

// Measures the clock against the monotonic clock with the time-stamp counter; all 0 where
// there is none (not x86).
void GetCpuSpeed(CpuSpeedRecord* record);
quint32 GetCpuSpeedMHz();
// The round rule of the measurement: from three rounds on, stop when the last three
// values each lie within 1 of a third of their sum.
bool CpuSpeedSettled(quint32 a, quint32 b, quint32 c);
// MHz and normalised MHz of summed cycles and microseconds.
void FinishCpuSpeed(CpuSpeedRecord* record);
// "CurrentClockSpeed" of the processor by WMI; 0 when empty.
quint32 GetCpuClockFromWmi();

}  // namespace engine
