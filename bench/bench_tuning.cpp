// Cost of the tuning aids: the fuzzy control surface at 201 x 201 points
// (goal: under 100 ms, so it follows each edit), the fit of a bump test's
// response (goal: under 100 ms) and a gain search per law (goal: a whole PID
// grid under 2 s). The searches report the candidate runs they simulated and
// the gains they found.
#include "engine/FuzzyController.h"
#include "engine/FuzzySurface.h"
#include "engine/GainSearch.h"
#include "engine/PlantIdentification.h"
#include "runtime/Numeric.h"

#include <benchmark/benchmark.h>

#include <array>
#include <string>

using namespace tervalo;

namespace {

const std::array<std::string, 7> kNames = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};

void BM_FuzzySurface201(benchmark::State &state)
{
    FuzzySurfaceSettings s;
    for (int i = 0; i < 49; ++i)
        s.cellTexts[static_cast<std::size_t>(i)] =
            kNames[static_cast<std::size_t>(FuzzyController::defaultListIndex(i))];
    s.termNames = kNames;
    s.controlReference = 1000;
    for (auto _ : state) {
        const FuzzySurface surface = FuzzySurface::compute(s);
        benchmark::DoNotOptimize(surface.du(100, 100));
    }
}
BENCHMARK(BM_FuzzySurface201)->Unit(benchmark::kMillisecond);

void BM_FuzzySurfaceCsv(benchmark::State &state)
{
    FuzzySurfaceSettings s;
    for (int i = 0; i < 49; ++i)
        s.cellTexts[static_cast<std::size_t>(i)] =
            kNames[static_cast<std::size_t>(FuzzyController::defaultListIndex(i))];
    s.termNames = kNames;
    const FuzzySurface surface = FuzzySurface::compute(s);
    for (auto _ : state) {
        const std::string csv = surface.csv();
        benchmark::DoNotOptimize(csv.data());
    }
}
BENCHMARK(BM_FuzzySurfaceCsv)->Unit(benchmark::kMillisecond);

// A kit-like plant: dead zone, lag 0.3 s, speed counted in steps of 5 rpm.
PlantModel kitModel()
{
    PlantModel m;
    m.gain = 1.2;
    m.offset = -1400;
    m.timeConstant = 0.3;
    m.deadTime = 0.05;
    m.measurement = Measurement::PeriodMean;
    return m;
}

// The response a bump test records: 10 cycles at U1, `after` cycles at U2.
StepResponse kitResponse(int after)
{
    const PlantModel m = kitModel();
    StepResponse r;
    r.u1 = 1800;
    r.u2 = 2600;
    ModelPlant p(m, r.u1);
    auto measure = [&p] { return 5 * static_cast<double>(roundHalfEven(p.measure() / 5)); };
    for (int k = 0; k < 10; ++k) {
        r.before.push_back(measure());
        p.hold(k < 9 ? r.u1 : r.u2);
    }
    for (int k = 0; k < after; ++k) {
        r.after.push_back(measure());
        p.hold(r.u2);
    }
    return r;
}

void BM_FitStepResponse(benchmark::State &state)
{
    const StepResponse r = kitResponse(static_cast<int>(state.range(0)));
    FitSettings f;
    f.measurement = Measurement::PeriodMean;
    f.resolution = 5;
    Identification id;
    for (auto _ : state) {
        id = fitStepResponse(r, f);
        benchmark::ClobberMemory();
    }
    state.counters["gain"] = id.model.gain;
    state.counters["tau"] = id.model.timeConstant;
    state.counters["dead"] = id.model.deadTime;
}
// 20 cycles after the step is what a bump test on the kit records; 300 is
// the longest record it keeps.
BENCHMARK(BM_FitStepResponse)->Arg(20)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_SuggestGains(benchmark::State &state)
{
    const ClassicLaw law = static_cast<ClassicLaw>(state.range(0));
    SearchSettings s;
    s.loop.actuatorMin = s.loop.actuatorStart = 1300;
    s.loop.resolution = 5;
    GainSuggestion g;
    for (auto _ : state) {
        g = suggestGains(kitModel(), law, s);
        benchmark::DoNotOptimize(g.gains);
    }
    const char *names[] = {"P", "I", "PI", "PD", "PID"};
    state.SetLabel(names[state.range(0)]);
    state.counters["runs"] = static_cast<double>(g.runs);
    state.counters["kp"] = g.gains.kp;
    state.counters["ki"] = g.gains.ki;
    state.counters["kd"] = g.gains.kd;
    state.counters["iae"] = g.figures[Metric::Iae].value;
    state.counters["overshoot"] = g.figures[Metric::Overshoot].value;
}
BENCHMARK(BM_SuggestGains)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
