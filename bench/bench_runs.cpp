// Runs window timings: listing 1,000 stored runs (a refresh of the open
// window, and the window opened and painted), and the run window comparing
// five hour-long runs (from records in memory, and read from the library).

#include "bench/BenchSupport.h"
#include "engine/RunRecord.h"
#include "store/RunLibrary.h"
#include "ui/windows/RunWindow.h"
#include "ui/windows/RunsWindow.h"

#include <QApplication>
#include <QChartView>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

using tervalo::bench::kHour;

using tervalo::RunLibrary;
using tervalo::RunRecord;
using tervalo::RunRow;

// A stopped run of the given length; each variant a little different.
std::shared_ptr<RunRecord> makeRun(int cycles, int variant)
{
    auto record = std::make_shared<RunRecord>(static_cast<std::size_t>(cycles));
    tervalo::bench::fillSampleRun(*record, cycles, variant);
    record->stop();
    return record;
}

// A library of 1,000 runs of 50 rows, made once.
const QString &thousandRuns()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("runs.sqlite"));
        RunLibrary library(p);
        for (int k = 0; k < 1000; ++k)
            library.store(*makeRun(50, k % 7));
        return p;
    }();
    return path;
}

void BM_RunsWindowRefreshThousand(benchmark::State &state)
{
    tervalo::RunsWindow w(thousandRuns());
    w.show();
    w.refresh();
    QApplication::processEvents();
    for (auto _ : state) {
        w.refresh();
        w.table()->viewport()->repaint();
        if (w.model()->rowCount() != 1000)
            state.SkipWithError("not 1000 runs");
    }
}

void BM_RunsWindowOpenThousand(benchmark::State &state)
{
    const QString &path = thousandRuns();
    for (auto _ : state) {
        tervalo::RunsWindow w(path);
        w.refresh();
        w.show();
        benchmark::DoNotOptimize(w.grab()); // the first paint
        if (w.model()->rowCount() != 1000)
            state.SkipWithError("not 1000 runs");
    }
}

void BM_CompareFiveHours(benchmark::State &state)
{
    std::vector<tervalo::RunWindow::ComparedRun> runs;
    for (int k = 0; k < 5; ++k)
        runs.push_back({QStringLiteral("run %1").arg(k), makeRun(kHour, k), {}});
    tervalo::RunWindow w(runs.front().record);
    w.show();
    QApplication::processEvents();
    for (auto _ : state) {
        w.compare(runs);
        w.compareView()->viewport()->repaint(); // drawn
    }
}

void BM_CompareFiveHoursFromTheLibrary(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    std::vector<std::int64_t> ids;
    {
        RunLibrary library(path);
        for (int k = 0; k < 5; ++k)
            ids.push_back(*library.store(*makeRun(kHour, k)));
    }
    tervalo::RunsWindow w(path);
    w.refresh();
    w.show();
    QApplication::processEvents();
    for (auto _ : state) {
        w.compareRuns(ids);
        w.runWindow()->compareView()->viewport()->repaint();
    }
}

} // namespace

BENCHMARK(BM_RunsWindowRefreshThousand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunsWindowOpenThousand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompareFiveHours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompareFiveHoursFromTheLibrary)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return tervalo::bench::qtBenchmarkMain(argc, argv);
}
