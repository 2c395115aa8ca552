#include "plant/PulseCounter.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace tervalo {

namespace {

// Samples taken between two looks at the clock: small enough to keep the
// pump on time with slow reads, large enough that the clock costs nothing.
constexpr std::uint64_t SamplesPerClockCheck = 16;

// Most samples asked of the port in one stretch when the loop is untimed.
constexpr std::uint64_t LongestStretch = std::uint64_t(1) << 20;

// Bit 7 of the status register (BUSY) is inverted at the connector.
constexpr std::uint8_t StatusInversion = 0x80;

class CountingLoop {
public:
    explicit CountingLoop(PulseCounterIo &io) : io_(io) { }

    void run();

private:
    bool driverUsable() const
    {
        return io_.port != nullptr && !portLost_ && (io_.driverPresent == nullptr || *io_.driverPresent);
    }
    bool sampling() const { return io_.sampling && driverUsable(); }
    bool stopping() const { return *io_.stopRequested || (io_.ending != nullptr && *io_.ending); }

    std::uint8_t sample() { return io_.port->DlPortReadPortUchar(io_.statusAddress) ^ StatusInversion; }
    void takeSamples();
    void handOver();
    void portFailed(const PortError &error);

    PulseCounterIo &io_;
    std::uint8_t previous_ = 0;
    std::uint64_t changes_ = 0; // seen since the last hand-over
    bool portLost_ = false;
    bool reported_ = false;
};

void CountingLoop::run()
{
    *io_.pulseCount = 0;
    if (sampling()) {
        try {
            previous_ = sample();
        } catch (const PortError &error) {
            portFailed(error);
        }
    }
    for (;;) {
        handOver();
        // Sleep in the pump when nothing is sampled; never when the loop is
        // about to end anyway (its single pass must not wait for an event).
        if (sampling() || stopping())
            io_.pump->processEvents();
        else
            io_.pump->waitForEvents();
        if (stopping())
            break;
        if (sampling())
            takeSamples();
    }
}

void CountingLoop::takeSamples()
{
    const bool timed = io_.pumpInterval != PulseCounterIo::NoTimeLimit;
    const auto deadline =
        timed ? std::chrono::steady_clock::now() + io_.pumpInterval : std::chrono::steady_clock::time_point::max();
    std::uint64_t budget = io_.samplesPerPump != 0 ? io_.samplesPerPump : std::numeric_limits<std::uint64_t>::max();
    // Untimed, the whole budget is one batch (an unlimited budget is taken
    // in stretches without end, which only a test's port ends).
    const std::uint64_t batchSize = timed ? SamplesPerClockCheck : std::min(budget, LongestStretch);
    // The port compares raw bytes: the inversion leaves equality as it is.
    StatusSamples seen;
    seen.last = previous_ ^ StatusInversion;
    const auto keep = [&] {
        changes_ += seen.changes;
        seen.changes = 0;
        previous_ = seen.last ^ StatusInversion;
    };
    try {
        for (;;) {
            if (!driverUsable())
                return;
            const std::uint64_t batch = std::min(budget, batchSize);
            io_.port->sampleStretch(io_.statusAddress, batch, seen);
            keep();
            budget -= batch;
            if (budget == 0 || (timed && std::chrono::steady_clock::now() >= deadline))
                return;
        }
    } catch (const PortError &error) {
        keep(); // the changes read before the failure still count
        portFailed(error);
    }
}

void CountingLoop::handOver()
{
    if (changes_ == 0)
        return;
    const std::int32_t total =
        std::int32_t(io_.pulseCount->value()) + std::int32_t(std::min<std::uint64_t>(changes_, PulseCounter::MaxCount));
    *io_.pulseCount = std::min<std::int32_t>(total, PulseCounter::MaxCount);
    changes_ = 0;
}

void CountingLoop::portFailed(const PortError &error)
{
    portLost_ = true;
    if (io_.driverPresent != nullptr)
        *io_.driverPresent = false;
    if (!reported_ && io_.onPortFailure) {
        reported_ = true;
        io_.onPortFailure(std::string("speed pulse counting stopped: ") + error.what());
    }
}

} // namespace

void PulseCounter::run(PulseCounterIo &io)
{
    if (io.pulseCount == nullptr || io.stopRequested == nullptr || io.pump == nullptr)
        throw std::invalid_argument("PulseCounter::run: pulseCount, stopRequested and pump are required");
    CountingLoop(io).run();
}

} // namespace tervalo
