// Run data timings: one row into the record (the cost recording adds to a
// control cycle), saving an hour of rows as CSV and JSON, opening the run
// window on an hour-long run, and the window's live update after a cycle.

#include "bench/BenchSupport.h"
#include "engine/RunRecord.h"
#include "store/RunFiles.h"
#include "ui/windows/RunWindow.h"

#include <QApplication>
#include <QChartView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

using tervalo::bench::kHour;

using tervalo::RunRecord;
using tervalo::RunRow;

using tervalo::bench::sampleRow;

void fill(RunRecord &record, int rows)
{
    tervalo::bench::fillSampleRun(record, rows);
}

void BM_RecordAppend(benchmark::State &state)
{
    RunRecord record;
    record.start(tervalo::RunSettings{});
    const RunRow row = sampleRow(1234);
    for (auto _ : state) {
        if (record.size() == record.capacity()) {
            state.PauseTiming();
            record.start(tervalo::RunSettings{});
            state.ResumeTiming();
        }
        record.append(row);
        benchmark::ClobberMemory();
    }
}

void BM_SaveHour(benchmark::State &state)
{
    RunRecord record;
    fill(record, kHour);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    for (auto _ : state) {
        const tervalo::FileError e = tervalo::RunFiles::save(record, path);
        if (e)
            state.SkipWithError(e.message().toLocal8Bit().constData());
    }
}

void BM_OpenRunWindowOnAnHour(benchmark::State &state)
{
    RunRecord record;
    fill(record, kHour);
    for (auto _ : state) {
        tervalo::RunWindow w(record);
        w.show();
        // the first paint of the plot
        benchmark::DoNotOptimize(w.chartView()->grab());
    }
}

// After a cycle has appended its row, with an hour of rows already shown.
void BM_LiveUpdate(benchmark::State &state)
{
    RunRecord record(kHour + 100000);
    fill(record, kHour);
    tervalo::RunWindow w(record);
    w.show();
    QApplication::processEvents();
    std::int64_t cycle = kHour;
    for (auto _ : state) {
        if (record.size() == record.capacity()) {
            state.PauseTiming();
            fill(record, kHour);
            cycle = kHour;
            w.update();
            state.ResumeTiming();
        }
        record.append(sampleRow(++cycle));
        w.update();
    }
}

// The same with the repaint the event loop does before the next cycle.
void BM_LiveUpdateAndRepaint(benchmark::State &state)
{
    RunRecord record(kHour + 100000);
    fill(record, kHour);
    tervalo::RunWindow w(record);
    w.show();
    QApplication::processEvents();
    std::int64_t cycle = kHour;
    for (auto _ : state) {
        if (record.size() == record.capacity()) {
            state.PauseTiming();
            fill(record, kHour);
            cycle = kHour;
            w.update();
            state.ResumeTiming();
        }
        record.append(sampleRow(++cycle));
        w.update();
        w.chartView()->viewport()->repaint();
    }
}

// A cycle's update near the end of a four-hour run (the record's bound),
// with the repaint before the next cycle: the plot and the figures as the
// student sees them while the run goes on.
void BM_LiveUpdateFourHours(benchmark::State &state)
{
    constexpr int kFourHours = 4 * kHour;
    RunRecord record(kFourHours);
    fill(record, kFourHours - 2000);
    tervalo::RunWindow w(record);
    w.show();
    QApplication::processEvents();
    std::int64_t cycle = record.size();
    for (auto _ : state) {
        if (record.size() == record.capacity()) {
            state.PauseTiming();
            fill(record, kFourHours - 2000);
            cycle = static_cast<std::int64_t>(record.size());
            w.update();
            QApplication::processEvents();
            state.ResumeTiming();
        }
        record.append(sampleRow(++cycle));
        w.update();
        w.chartView()->viewport()->repaint();
        QApplication::processEvents(); // what the event loop does before the next cycle
    }
}

BENCHMARK(BM_RecordAppend);
BENCHMARK(BM_SaveHour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRunWindowOnAnHour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveUpdate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveUpdateAndRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveUpdateFourHours)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return tervalo::bench::qtBenchmarkMain(argc, argv);
}
