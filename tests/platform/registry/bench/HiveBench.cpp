// Figures for the hive reader, run by hand (never by ctest): registry_bench
// Each input grows by a factor; the time per byte should stay flat.
// 1. One section header of `levels` key levels (a hostile hive), and the longest key the
//    limits let through.
// 2. One key of `values` values.
// 3. `reads` value reads from an unchanged hive file of 5,000 values.
#include "platform/registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

using namespace platform;

namespace {

QByteArray deepHive(int levels)
{
    QByteArray text = "REGEDIT4\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < levels; ++i)
        text += "\\k" + QByteArray::number(i % 100);
    return text + "]\n\"v\"=\"x\"\n";
}

QByteArray wideHive(int values)
{
    QByteArray text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Many]\n";
    for (int i = 0; i < values; ++i)
        text += "\"value" + QByteArray::number(i) + "\"=dword:" + QByteArray::number(i, 16) + "\n";
    return text;
}

void DeepHeader(benchmark::State& state)
{
    const QByteArray text = deepHive(int(state.range(0)));
    bool parsed = false;
    for (auto _ : state) {
        const std::optional<Hive> hive = Hive::parse(RootKey::CurrentUser, text);
        parsed = bool(hive);
        if (hive)
            benchmark::DoNotOptimize(hive->serialize().size());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
    state.SetLabel(parsed ? "read" : "refused");
}
BENCHMARK(DeepHeader)->Arg(250)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The deepest and longest key the limits allow: 512 levels of 255-character names.
void LongestLegalKey(benchmark::State& state)
{
    QByteArray text = "REGEDIT4\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < Hive::kMaxKeyDepth; ++i)
        text += "\\" + QByteArray(Hive::kMaxKeyNameLength, char('a' + i % 26));
    text += "]\n\"v\"=\"x\"\n";
    qsizetype written = 0;
    for (auto _ : state) {
        const std::optional<Hive> hive = Hive::parse(RootKey::CurrentUser, text);
        written = hive ? hive->serialize().size() : -1;
    }
    state.SetBytesProcessed(state.iterations() * text.size());
    state.counters["written_bytes"] = double(written);
}
BENCHMARK(LongestLegalKey)->Unit(benchmark::kMillisecond)->Iterations(1);

void ManyValues(benchmark::State& state)
{
    const QByteArray text = wideHive(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Hive::parse(RootKey::CurrentUser, text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(ManyValues)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(1);

void RepeatedReads(benchmark::State& state)
{
    QTemporaryDir folder;
    qputenv("OVEX_REGISTRY_DIR", QFile::encodeName(folder.path()));
    QFile file(Registry::hiveFilePath(RootKey::CurrentUser));
    file.open(QIODevice::WriteOnly);
    file.write(wideHive(5000));
    file.close();
    // A file changed within the last second is always read again.
    QThread::sleep(2);
    const int reads = int(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < reads; ++i)
            benchmark::DoNotOptimize(
                Registry::value(RootKey::CurrentUser, QStringLiteral("Software\\Many"), QStringLiteral("value17")));
    }
    state.SetItemsProcessed(state.iterations() * reads);
}
BENCHMARK(RepeatedReads)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
