// Run data timings: one row into the record (the cost recording adds to a
// control cycle), saving an hour of rows as CSV and JSON, opening the run
// window on an hour-long run, and the window's live update after a cycle.

#include "engine/RunRecord.h"
#include "store/RunFiles.h"
#include "ui/RunWindow.h"

#include <QApplication>
#include <QChartView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kHour = 18000; // cycles of 0.2 s

using tervalo::RunRecord;
using tervalo::RunRow;

RunRow rowAt(std::int64_t cycle)
{
    // a damped response with a ripple, so that no two rows are alike
    const double t = static_cast<double>(cycle) / 5;
    RunRow r;
    r.cycle = cycle;
    r.reference = 1000;
    r.y = std::round(1000 - 1000 * std::exp(-t / 3) * std::cos(t) + 5 * std::sin(7 * t));
    r.e = r.reference - r.y;
    r.u = std::round(800 + 0.3 * r.e);
    r.p = r.e * 0.123;
    r.i = r.e * 0.0456;
    r.d = -r.e * 0.01;
    return r;
}

void fill(RunRecord &record, int rows)
{
    record.start(tervalo::RunSettings{});
    for (int k = 1; k <= rows; ++k)
        record.append(rowAt(k));
}

void BM_RecordAppend(benchmark::State &state)
{
    RunRecord record;
    record.start(tervalo::RunSettings{});
    const RunRow row = rowAt(1234);
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
        record.append(rowAt(++cycle));
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
        record.append(rowAt(++cycle));
        w.update();
        w.chartView()->viewport()->repaint();
    }
}

BENCHMARK(BM_RecordAppend);
BENCHMARK(BM_SaveHour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRunWindowOnAnHour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveUpdate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveUpdateAndRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
