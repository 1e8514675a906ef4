// Figures for the prefs file reader, run by hand (never by ctest): regengine_prefs_bench
// A file of `lists` product lists of three fields each; time per byte should stay flat.
#include "regengine/core/RegFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace engine;

namespace {

void appendRecord(QByteArray& out, int type, const QByteArray& body)
{
    const int length = 4 + int(body.size());
    out += char(type & 0xFF);
    out += char(type >> 8);
    out += char(length & 0xFF);
    out += char(length >> 8);
    out += body;
}

QByteArray manyProducts(int lists)
{
    QByteArray data;
    for (int i = 0; i < lists; ++i) {
        const QByteArray prod = QByteArray::number(i, 36).rightJustified(4, '0');
        appendRecord(data, 3, "OVEX" + prod);
        appendRecord(data, 1, "MFGROVEX");
        appendRecord(data, 1, "PROD" + prod);
        appendRecord(data, 1, "MODLBook");
        appendRecord(data, 4, {});
    }
    return data;
}

void ReadProductLists(benchmark::State& state)
{
    QTemporaryDir root;
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path()));
    const QByteArray data = manyProducts(int(state.range(0)));
    for (auto _ : state) {
        RegFile file;
        file.Parse(data);
        benchmark::DoNotOptimize(file.GetProductListCount());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(ReadProductLists)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// One global list of `fields` distinct codes.
void ReadManyFields(benchmark::State& state)
{
    QTemporaryDir root;
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path()));
    QByteArray data;
    for (int i = 0; i < int(state.range(0)); ++i)
        appendRecord(data, 1, QByteArray::number(i, 36).rightJustified(4, '0') + "value");
    for (auto _ : state) {
        RegFile file;
        file.Parse(data);
        benchmark::DoNotOptimize(file.GetFieldList().GetCount());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(ReadManyFields)->Arg(5000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
