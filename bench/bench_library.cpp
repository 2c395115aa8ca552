// Run library timings: storing an hour-long run (18,000 rows in one
// transaction), listing 1,000 stored runs, and the room an hour-long run
// takes in the database (the counter "bytes_per_hour_run").

#include "bench/BenchSupport.h"
#include "engine/RunRecord.h"
#include "store/RunLibrary.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using tervalo::bench::kHour;

using tervalo::RunLibrary;
using tervalo::RunRecord;
using tervalo::RunRow;

void fillHour(RunRecord &record, int cycles)
{
    tervalo::bench::fillSampleRun(record, cycles);
    record.stop();
}

qint64 databaseBytes(const QString &path)
{
    qint64 total = 0;
    for (const char *suffix : {"", "-wal"})
        total += QFileInfo(path + QLatin1String(suffix)).size();
    return total;
}

void BM_StoreHour(benchmark::State &state)
{
    RunRecord record(kHour);
    fillHour(record, kHour);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    RunLibrary library(path);
    std::int64_t stored = 0;
    for (auto _ : state) {
        if (!library.store(record))
            state.SkipWithError(library.error().message().toStdString().c_str());
        ++stored;
    }
    state.counters["bytes_per_hour_run"] = static_cast<double>(databaseBytes(path)) / static_cast<double>(stored);
}

void BM_ListThousandRuns(benchmark::State &state)
{
    QTemporaryDir dir;
    RunLibrary library(dir.filePath(QStringLiteral("runs.sqlite")));
    RunRecord record(50);
    fillHour(record, 50);
    for (int k = 0; k < 1000; ++k)
        library.store(record);
    for (auto _ : state) {
        auto runs = library.list();
        benchmark::DoNotOptimize(runs.data());
        if (runs.size() != 1000)
            state.SkipWithError("not 1000 runs");
    }
}

void BM_LoadHour(benchmark::State &state)
{
    RunRecord record(kHour);
    fillHour(record, kHour);
    QTemporaryDir dir;
    RunLibrary library(dir.filePath(QStringLiteral("runs.sqlite")));
    const auto id = library.store(record);
    for (auto _ : state) {
        auto back = library.load(*id);
        benchmark::DoNotOptimize(back.get());
    }
}

} // namespace

BENCHMARK(BM_StoreHour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListThousandRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadHour)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return tervalo::bench::qtBenchmarkMain(argc, argv);
}
