#pragma once
// The kit's self-test, run by a lab technician before a class: is the
// device there and ours, how fast can the status register be read, is the
// speed sensor quiet with the motor at rest, and (on request) how fast
// does the motor turn at a given actuator value. One line per step on out,
// then a verdict; the kit is left with the all-zero word.
//
//   ok   device /dev/parport0 opened and claimed
//   ok   status reads: 812345 per second (at least 20000 needed)
//   ok   status changes with the motor at rest: 0 in 1 s (at most 2 allowed)
//   ok   speed at actuator 2000: 1350 rpm (2700 changes in 2 s, after 1.5 s to settle)
//   ok   all-zero word written
//   kit check passed
//
// Interrupted (a signal that ends the program), the step under way is cut
// short and the check fails:
//
//   FAIL interrupted by SIGTERM
//   ok   all-zero word written
//   kit check failed

#include "plant/KitClock.h"
#include "plant/PortDriver.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tervalo {

struct KitCheckOptions {
    std::string device; // as the user named it, for the report
    std::int32_t base = 888;
    std::optional<int> spin; // actuator value for the speed step (0..4095)

    // Every fresh read must catch each level of the sensor at full speed
    // (5000 rpm: a level lasts 200 us) several times over.
    std::uint64_t minReadsPerSecond = 20000;
    // A sensor resting on the edge of a slot may flicker now and then.
    std::uint64_t maxChangesAtRest = 2;
    std::chrono::nanoseconds restWindow = std::chrono::seconds(1);
    std::chrono::nanoseconds settle = std::chrono::milliseconds(1500); // five time constants
    std::chrono::nanoseconds spinWindow = std::chrono::seconds(2);

    // Asked between reads and while waiting: a cause (e.g. "SIGTERM") ends
    // the check at once with "FAIL interrupted by <cause>"; the all-zero
    // word is still written. Empty, or not set: go on.
    std::function<std::string()> interruption;
};

class KitCheck {
public:
    // port: the opened device, or nullptr when it did not open, openError
    // then saying why. Reads run on clock's time. True when every step
    // passed. A port failure during the check fails the step it hit and
    // ends the check.
    static bool run(PortDriver *port, const std::string &openError, KitClock &clock, const KitCheckOptions &options,
                    std::ostream &out);
};

} // namespace tervalo
