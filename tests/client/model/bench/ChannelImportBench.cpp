// Figures for importing a registration file of many channels, run by hand (never by ctest):
//   client_import_bench [--benchmark_filter=...]
// The data folder is a new one under the current directory, so the commits hit a real disk.
// Time per channel should stay flat as the file grows.
#include "client/Database.h"
#include "client/MfgrModel.h"
#include "client/TovaImport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace client;

namespace {

QByteArray manyChannels(int channels)
{
    QByteArray text = ">BeginMfgrInfo\nmfgr:OVEX\nfullname:Ovex Inc.\n>EndMfgrInfo\n";
    for (int i = 0; i < channels; ++i)
        text += ">BeginChannel\nname:channel_" + QByteArray::number(i) + "\ntitle:Channel " + QByteArray::number(i) +
                "\nfields:MODL CTRY USID\n>EndChannel\n";
    return text + ">BeginRecord\nMFGR:OVEX\nMODL:Book\n>EndRecord\n";
}

void ImportChannels(benchmark::State& state)
{
    QTemporaryDir root(QDir::currentPath() + QStringLiteral("/import-bench-XXXXXX"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path()));
    const QByteArray text = manyChannels(int(state.range(0)));
    const QString path = Database::GetFolder() + QStringLiteral("/bench.tova");
    for (auto _ : state) {
        state.PauseTiming();
        Database::Close();
        QFile::remove(Database::GetFolder() + QStringLiteral("/brevant.dat"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        sqlite3* db = Database::Instance();
        MfgrModel model;
        state.ResumeTiming();
        if (!ImportTovaFile(model, path, db, true))
            state.SkipWithError("not imported");
    }
    Database::Close();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ImportChannels)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
