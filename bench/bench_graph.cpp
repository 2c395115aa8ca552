// Graph control timings: one sample between sweep starts (two traces), the
// start of a sweep, a redrawing setter and a caption setter.

#include "bench/BenchSupport.h"
#include "controls/graph/Mygraph.h"
#include "ui/main/Form2Layout.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

using tervalo::Mygraph;

namespace {

// The main window's instance.
void load(Mygraph &g)
{
    g.ReadProperties(tervalo::Form2Layout::graphSettings());
    g.resize(333, 275);
    g.show();
    QApplication::processEvents();
}

void BM_PlotBetweenSweepStarts(benchmark::State &state)
{
    Mygraph g;
    load(g);
    const double lastX = 333 - 30 - 3.03;
    int n = 0;
    for (auto _ : state) {
        if (g.sweepPosition() <= 1 || g.sweepPosition() >= lastX) {
            state.PauseTiming();
            g.Resetle();
            g.PlotGraph1(5, 0, 0, 0, 0, 0, 0, 0, 0, 2);
            QApplication::processEvents();
            state.ResumeTiming();
        }
        const double y = 5 + 4 * std::sin(n * 0.2);
        g.PlotGraph1(y, 5 - y, 0, 0, 0, 0, 0, 0, 0, 2);
        ++n;
    }
}
BENCHMARK(BM_PlotBetweenSweepStarts);

void BM_SweepStart(benchmark::State &state)
{
    Mygraph g;
    load(g);
    for (auto _ : state) {
        g.Resetle();
        g.PlotGraph1(5, 0, 0, 0, 0, 0, 0, 0, 0, 2);
    }
    QApplication::processEvents();
}
BENCHMARK(BM_SweepStart)->Unit(benchmark::kMicrosecond);

void BM_RedrawingSetter(benchmark::State &state)
{
    Mygraph g;
    load(g);
    for (auto _ : state)
        g.setYmax(1800);
    QApplication::processEvents();
}
BENCHMARK(BM_RedrawingSetter)->Unit(benchmark::kMicrosecond);

void BM_CaptionSetter(benchmark::State &state)
{
    Mygraph g;
    load(g);
    int n = 0;
    for (auto _ : state)
        g.setGraph2Caption(QStringLiteral("Y = %1").arg(n++ % 1000));
    QApplication::processEvents();
}
BENCHMARK(BM_CaptionSetter)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return tervalo::bench::qtBenchmarkMain(argc, argv);
}
