// Cost of one controller step of the control cycle: the fuzzy step over the
// default rule table and one classic increment with its working values.
#include "engine/ClassicController.h"
#include "engine/FuzzyController.h"

#include <benchmark/benchmark.h>

#include <array>
#include <string>

using namespace tervalo;

namespace {

const std::array<std::string, 7> kNames = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};

std::array<std::string, 49> defaultCells()
{
    std::array<std::string, 49> cells;
    for (int i = 0; i < 49; ++i)
        cells[i] = kNames[FuzzyController::defaultListIndex(i)];
    return cells;
}

void BM_FuzzyStep(benchmark::State &state)
{
    const std::array<std::string, 49> cells = defaultCells();
    Integer previous = 0;
    int e = -1000;
    for (auto _ : state) {
        // sweep the error so every segment is visited
        e = e >= 1000 ? -1000 : e + 7;
        const FuzzyResult r = FuzzyController::step(e, e / 3, 1000, 500, 100, cells, kNames, previous);
        previous = r.outputDelta;
        benchmark::DoNotOptimize(previous);
    }
}
BENCHMARK(BM_FuzzyStep);

void BM_ClassicPidIncrement(benchmark::State &state)
{
    ClassicWorking w;
    int e = -1000;
    Integer prev = 0;
    for (auto _ : state) {
        e = e >= 1000 ? -1000 : e + 7;
        ClassicController::updateWorkingValues(w, e, prev, 0.2f);
        Extended inc = ClassicController::increment(ClassicLaw::PID, w, e, prev, 0.2f, 0.5f, 0.1f);
        benchmark::DoNotOptimize(inc);
        prev = e;
    }
}
BENCHMARK(BM_ClassicPidIncrement);

} // namespace

BENCHMARK_MAIN();
