#pragma once
// What the benchmark programs share: a made-up run (a damped response with a
// ripple, so that no two rows are alike) and a main() for the programs that
// need a Qt application.

#include "engine/RunRecord.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tervalo::bench {

constexpr int kHour = 18000; // cycles of 0.2 s

// Row cycle of run variant (variants decay a little slower each).
inline RunRow sampleRow(std::int64_t cycle, int variant = 0)
{
    const double t = static_cast<double>(cycle) / 5;
    RunRow r;
    r.cycle = cycle;
    r.reference = 1000;
    r.y = std::round(1000 - 1000 * std::exp(-t / (3 + variant)) * std::cos(t) + 5 * std::sin(7 * t));
    r.e = r.reference - r.y;
    r.u = std::round(800 + 0.3 * r.e);
    r.p = r.e * 0.123;
    r.i = r.e * 0.0456;
    r.d = -r.e * 0.01;
    return r;
}

// A PID run in simulation, started now.
inline RunSettings sampleSettings(int variant = 0)
{
    RunSettings s;
    s.mode = RunMode::Simulation;
    s.controller = RunController::PID;
    s.kp = 0.5 + 0.01 * variant;
    s.ki = 0.1;
    s.kd = 0.05;
    s.reference = 1000;
    s.start = std::chrono::system_clock::now();
    return s;
}

// Starts record and gives it rows 1..cycles; it is left running.
inline void fillSampleRun(RunRecord &record, int cycles, int variant = 0)
{
    record.start(sampleSettings(variant));
    for (int k = 1; k <= cycles; ++k)
        record.append(sampleRow(k, variant));
}

// main() of a benchmark program that draws: an offscreen Qt application
// (unless QT_QPA_PLATFORM says otherwise) and numbers read the program's way.
inline int qtBenchmarkMain(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace tervalo::bench
