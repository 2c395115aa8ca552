#pragma once
// The speed-pulse counting loop of a run. Between START and STOP it samples
// the port's status register as fast as it can and counts every change of
// the sample (one count per change, however many lines changed). It keeps
// the window alive by pumping its events often: the control cycle and every
// command run inside the pump, where the control cycle takes the count and
// clears it.
//
// Several samples are taken between two pumps, asked of the port in
// stretches (PortDriver::sampleStretch). The changes seen since the
// last pump are added to the count right before the next one, so the
// control cycle always sees every change taken so far. The count stops at
// 32767 (the largest Integer) rather than overflowing.
//
// In simulation, without the driver, or after the port has failed, nothing
// is sampled and the loop sleeps in the pump until the next event.

#include "plant/EventPump.h"
#include "plant/PortDriver.h"
#include "runtime/Integer.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace tervalo {

struct PulseCounterIo {
    PortDriver *port = nullptr;          // may be nullptr: no driver
    bool *driverPresent = nullptr;       // read before every access; set false when the port fails
    Integer *pulseCount = nullptr;       // changes counted since the control cycle took them
    const bool *stopRequested = nullptr; // true ends the loop (tested after each pass)
    const bool *ending = nullptr;        // optional: true ends the loop too (program end)
    bool sampling = true;                // false: every sample would be discarded (simulation)
    std::int32_t statusAddress = 889;
    EventPump *pump = nullptr;
    std::function<void(const std::string &)> onPortFailure; // one line for stderr

    // Longest time spent sampling between two pumps; NoTimeLimit: the
    // machine's clock is never read (a run on a virtual clock, paced by
    // samplesPerPump alone).
    static constexpr std::chrono::nanoseconds NoTimeLimit = std::chrono::nanoseconds::max();
    std::chrono::nanoseconds pumpInterval = std::chrono::microseconds(300);
    // Most samples taken between two pumps; 0: limited by time only.
    std::uint64_t samplesPerPump = 0;
};

class PulseCounter {
public:
    static constexpr std::int16_t MaxCount = 32767;

    // Sets *pulseCount to 0, takes the first sample, then runs passes (pump
    // events, take samples) until *stopRequested or *ending is true. The
    // test comes after each pump, so one pass always runs.
    static void run(PulseCounterIo &io);
};

} // namespace tervalo
