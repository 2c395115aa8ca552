// What the emulated kit costs and how well the counting loop measures it.
//
// BM_StatusRead: one status read of an in-memory port (the baseline: a
// virtual call and a byte), of the emulated kit on the virtual clock and on
// the machine's steady clock, with the motor at a steady 1350 rpm and while
// it speeds up (the exponential is then taken on every read whose time step
// differs from the last). The emulator's own cost is the difference to the
// in-memory port; BM_SteadyClock is the part of it the machine's clock
// takes.
//
// BM_CountingSamples: the real counting loop against each port for 200 ms
// of machine time; samples (status reads) per second.
//
// BM_CountingAccuracy: the real counting loop on the virtual clock, a
// control cycle every 200 ms of port time, at steady speeds from 500 to
// 5000 rpm without noise; the largest |Y - true speed| over 25 cycles.
//
// BM_KitTenMinutes: the counting loop as tervalo-sim runs it on the
// emulated kit (untimed, a pump every 100 reads), 3000 control cycles of
// 200 ms with a new actuator word each cycle, the motor never settled;
// machine seconds for the 10 minutes of kit time.

#include "plant/ActuatorOutput.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/MemoryPort.h"
#include "plant/PulseCounter.h"
#include "tests/support/KitCyclePump.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>

using namespace tervalo;
using namespace std::chrono_literals;

namespace {

constexpr std::int32_t Base = 888;

enum Kind { Memory, EmulatorVirtual, EmulatorSteady, EmulatorVirtualRising, EmulatorSteadyRising };

struct Rig {
    MemoryPort memory{Base};
    VirtualKitClock virtualClock;
    SteadyKitClock steadyClock;
    std::unique_ptr<KitEmulator> kit;
    PortDriver *port = &memory;

    explicit Rig(int kind)
    {
        if (kind == Memory) {
            memory.setStatusScript({0xFF, 0x7F}, true);
            return;
        }
        KitClock &clock = (kind == EmulatorSteady || kind == EmulatorSteadyRising)
            ? static_cast<KitClock &>(steadyClock)
            : static_cast<KitClock &>(virtualClock);
        // steady: a lag so short that the first read finds the motor at its
        // speed; changing: so long that it never gets there during the run
        KitModel model;
        const bool changing = kind == EmulatorVirtualRising || kind == EmulatorSteadyRising;
        model.timeConstant = changing ? 1e6 : 1e-6;
        kit = std::make_unique<KitEmulator>(clock, Base, model);
        ActuatorOutput::writeWord(*kit, Base, changing ? 4095 : 2000);
        if (!changing)
            virtualClock.advance(1s);
        port = kit.get();
    }
};

const char *name(int kind)
{
    switch (kind) {
    case Memory: return "memory port";
    case EmulatorVirtual: return "emulator, virtual clock";
    case EmulatorSteady: return "emulator, steady clock";
    case EmulatorVirtualRising: return "emulator, virtual clock, speed changing";
    default: return "emulator, steady clock, speed changing";
    }
}

void BM_StatusRead(benchmark::State &state)
{
    Rig rig(int(state.range(0)));
    state.SetLabel(name(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.port->DlPortReadPortUchar(Base + 1));
    state.SetItemsProcessed(state.iterations());
}

// What the steady clock costs alone (part of every read on it).
void BM_SteadyClock(benchmark::State &state)
{
    SteadyKitClock clock;
    for (auto _ : state)
        benchmark::DoNotOptimize(clock.statusRead());
    state.SetItemsProcessed(state.iterations());
}

// Stops the loop once 200 ms of machine time have passed.
class TimedPump : public EventPump {
public:
    explicit TimedPump(bool &stop) : stop_(stop), end_(std::chrono::steady_clock::now() + 200ms) { }
    void processEvents() override
    {
        if (std::chrono::steady_clock::now() >= end_)
            stop_ = true;
    }
    void waitForEvents() override { processEvents(); }

private:
    bool &stop_;
    std::chrono::steady_clock::time_point end_;
};

void BM_CountingSamples(benchmark::State &state)
{
    double perSecond = 0;
    for (auto _ : state) {
        Rig rig(int(state.range(0)));
        std::uint64_t reads = 0;
        bool present = true, stop = false;
        Integer count;
        TimedPump pump(stop);
        PulseCounterIo io;
        io.port = rig.port;
        io.driverPresent = &present;
        io.pulseCount = &count;
        io.stopRequested = &stop;
        io.pump = &pump;
        const std::uint64_t before = rig.kit ? rig.kit->statusReads() : rig.memory.reads();
        const auto t0 = std::chrono::steady_clock::now();
        PulseCounter::run(io);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        reads = (rig.kit ? rig.kit->statusReads() : rig.memory.reads()) - before;
        perSecond = double(reads) / seconds;
    }
    state.SetLabel(name(int(state.range(0))));
    state.counters["samples_per_s"] = perSecond;
}

void BM_CountingAccuracy(benchmark::State &state)
{
    const double rpm = double(state.range(0));
    constexpr int Cycles = 25;
    double maxError = 0, meanError = 0, speed = 0, machineSeconds = 0;
    for (auto _ : state) {
        VirtualKitClock clock;
        KitEmulator kit(clock, Base);
        const int u = int(std::lround(kit.model().deadZone + rpm / kit.model().rpmPerStep));
        ActuatorOutput::writeWord(kit, Base, u);
        clock.advance(3s);
        speed = kit.speed();
        bool present = true, stop = false;
        Integer count;
        tervalo::test::KitCyclePump pump(clock, kit, count, stop, Cycles);
        PulseCounterIo io;
        io.port = &kit;
        io.driverPresent = &present;
        io.pulseCount = &count;
        io.stopRequested = &stop;
        io.pump = &pump;
        io.pumpInterval = std::chrono::hours(1);
        io.samplesPerPump = 100;
        const auto t0 = std::chrono::steady_clock::now();
        PulseCounter::run(io);
        machineSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        // Y against the emulator's true speed at each cycle
        double sum = 0;
        maxError = 0;
        for (std::size_t k = 0; k < pump.ys.size(); ++k) {
            const double error = std::fabs(pump.ys[k] - pump.trueSpeeds[k]);
            maxError = std::max(maxError, error);
            sum += error;
        }
        meanError = sum / static_cast<double>(pump.ys.size());
    }
    state.counters["true_rpm"] = speed;
    state.counters["max_err_rpm"] = maxError;
    state.counters["mean_err_rpm"] = meanError;
    state.counters["machine_s_per_5s"] = machineSeconds;
}

// Each cycle steps the actuator between two words, so that the motor is
// always on its way somewhere.
class SteppingPump : public EventPump {
public:
    SteppingPump(KitClock &clock, KitEmulator &kit, Integer &count, bool &stop, int cycles)
        : timer_(clock), kit_(kit), count_(count), stop_(stop), cycles_(cycles)
    { }
    void processEvents() override
    {
        if (!timer_.due())
            return;
        counts += count_.value();
        count_ = 0;
        ActuatorOutput::writeWord(kit_, Base, (++cycles / 10) % 2 == 0 ? 1800 : 2600);
        if (cycles >= cycles_)
            stop_ = true;
    }
    void waitForEvents() override { processEvents(); }

    long long counts = 0;
    int cycles = 0;

private:
    CycleTimer timer_;
    KitEmulator &kit_;
    Integer &count_;
    bool &stop_;
    int cycles_;
};

void BM_KitTenMinutes(benchmark::State &state)
{
    long long counts = 0;
    for (auto _ : state) {
        VirtualKitClock clock;
        KitEmulator kit(clock, Base);
        bool present = true, stop = false;
        Integer count;
        SteppingPump pump(clock, kit, count, stop, 3000);
        PulseCounterIo io;
        io.port = &kit;
        io.driverPresent = &present;
        io.pulseCount = &count;
        io.stopRequested = &stop;
        io.pump = &pump;
        io.pumpInterval = PulseCounterIo::NoTimeLimit;
        io.samplesPerPump = 100;
        PulseCounter::run(io);
        counts = pump.counts;
    }
    state.counters["changes_counted"] = double(counts);
}

} // namespace

BENCHMARK(BM_StatusRead)->DenseRange(Memory, EmulatorSteadyRising);
BENCHMARK(BM_SteadyClock);
BENCHMARK(BM_CountingSamples)->DenseRange(Memory, EmulatorSteady)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountingAccuracy)->DenseRange(500, 5000, 500)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_KitTenMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
