// Speed of the pulse-counting loop against an in-memory port whose status
// read costs as long as a real port's (1 us): samples per second, the share
// of time spent reading, and the gaps between two event pumps (the control
// cycle and every command wait at most that long).

#include "plant/MemoryPort.h"
#include "plant/PulseCounter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

using namespace tervalo;
using Clock = std::chrono::steady_clock;

namespace {

// Processor time of this thread: gaps measured in it leave out the time the
// scheduler gave to other programs on a shared machine.
double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Gaps {
    double mean = 0, p99 = 0, max = 0;
};

Gaps gapsOf(const std::vector<double> &timesUs)
{
    std::vector<double> gaps;
    for (std::size_t i = 1; i < timesUs.size(); ++i)
        gaps.push_back(timesUs[i] - timesUs[i - 1]);
    Gaps g;
    if (gaps.empty())
        return g;
    std::sort(gaps.begin(), gaps.end());
    g.max = gaps.back();
    g.p99 = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
    double sum = 0;
    for (double d : gaps)
        sum += d;
    g.mean = sum / double(gaps.size());
    return g;
}

// A pump with nothing to do: it notes when it ran and presses STOP once the
// run has lasted long enough.
class IdlePump : public EventPump {
public:
    explicit IdlePump(bool &stop, Clock::duration runFor) : stop_(stop), runFor_(runFor) { }

    void processEvents() override
    {
        const auto now = Clock::now();
        if (wallUs.empty())
            start_ = now;
        wallUs.push_back(std::chrono::duration<double, std::micro>(now - start_).count());
        cpuUs.push_back(threadCpuSeconds() * 1e6);
        if (now - start_ >= runFor_)
            stop_ = true;
    }
    void waitForEvents() override { processEvents(); }

    std::vector<double> wallUs;
    std::vector<double> cpuUs;

private:
    bool &stop_;
    Clock::duration runFor_;
    Clock::time_point start_;
};

// What one status read costs on its own (median of rounds, so that a
// round the scheduler interrupted does not count).
double readSeconds(PortDriver &port)
{
    constexpr int rounds = 21, perRound = 1000;
    std::vector<double> r;
    for (int k = 0; k < rounds; ++k) {
        const auto t0 = Clock::now();
        for (int i = 0; i < perRound; ++i)
            benchmark::DoNotOptimize(port.DlPortReadPortUchar(889));
        r.push_back(std::chrono::duration<double>(Clock::now() - t0).count() / perRound);
    }
    std::nth_element(r.begin(), r.begin() + rounds / 2, r.end());
    return r[rounds / 2];
}

void BM_PulseCounting(benchmark::State &state)
{
    const auto readCost = std::chrono::nanoseconds(state.range(0));
    double samplesPerSecond = 0, samplesPerCpuSecond = 0, readingShare = 0, readNs = 0;
    Gaps wall, cpu;
    for (auto _ : state) {
        MemoryPort port;
        port.setStatusScript({0x00, 0x10}, true);
        port.setReadCost(readCost);
        const double oneRead = readSeconds(port);
        const std::uint64_t readsBefore = port.reads();

        bool present = true, stop = false;
        Integer count;
        IdlePump pump(stop, std::chrono::milliseconds(500));
        PulseCounterIo io;
        io.port = &port;
        io.driverPresent = &present;
        io.pulseCount = &count;
        io.stopRequested = &stop;
        io.pump = &pump;

        const auto t0 = Clock::now();
        const double c0 = threadCpuSeconds();
        PulseCounter::run(io);
        const double cpuSeconds = threadCpuSeconds() - c0;
        const double wallSeconds = std::chrono::duration<double>(Clock::now() - t0).count();

        const double samples = double(port.reads() - readsBefore);
        samplesPerSecond = samples / wallSeconds;
        samplesPerCpuSecond = samples / cpuSeconds;
        readingShare = samples * oneRead / cpuSeconds;
        readNs = oneRead * 1e9;
        wall = gapsOf(pump.wallUs);
        cpu = gapsOf(pump.cpuUs);
    }
    state.counters["read_ns"] = readNs;
    state.counters["samples_per_s"] = samplesPerSecond;
    state.counters["samples_per_cpu_s"] = samplesPerCpuSecond;
    state.counters["reading_pct_of_cpu"] = readingShare * 100;
    state.counters["gap_mean_us"] = wall.mean;
    state.counters["gap_p99_us"] = wall.p99;
    state.counters["gap_max_us"] = wall.max;
    state.counters["cpu_gap_p99_us"] = cpu.p99;
    state.counters["cpu_gap_max_us"] = cpu.max;
}

} // namespace

// Read cost in nanoseconds: a real port's 1 us, and none (the loop's own cost).
BENCHMARK(BM_PulseCounting)->Arg(1000)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
