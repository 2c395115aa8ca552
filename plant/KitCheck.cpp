#include "plant/KitCheck.h"

#include "plant/ActuatorOutput.h"

#include <algorithm>

namespace tervalo {

namespace {

// The check was interrupted by cause.
struct Interrupted {
    std::string cause;
};

void stopWhenAsked(const KitCheckOptions &o)
{
    if (!o.interruption)
        return;
    std::string cause = o.interruption();
    if (!cause.empty())
        throw Interrupted{std::move(cause)};
}

// Lets span of the clock's time pass in short steps, so that an
// interruption ends the wait soon.
void wait(KitClock &clock, std::chrono::nanoseconds span, const KitCheckOptions &o)
{
    constexpr std::chrono::nanoseconds step = std::chrono::milliseconds(20);
    while (span.count() > 0) {
        stopWhenAsked(o);
        const std::chrono::nanoseconds now = std::min(span, step);
        clock.wait(now);
        span -= now;
    }
    stopWhenAsked(o);
}

struct Count {
    std::uint64_t reads = 0;
    std::uint64_t changes = 0;
    std::int64_t span = 0; // ns
};

// Read the status register for window of the clock's time and count its
// changes the way the counting loop does.
Count countChanges(PortDriver &port, std::int32_t address, KitClock &clock, std::chrono::nanoseconds window,
                   const KitCheckOptions &o)
{
    stopWhenAsked(o);
    Count c;
    const std::int64_t start = clock.now();
    std::uint8_t previous = port.DlPortReadPortUchar(address);
    ++c.reads;
    for (;;) {
        const std::uint8_t current = port.DlPortReadPortUchar(address);
        ++c.reads;
        if (current != previous) {
            ++c.changes;
            previous = current;
        }
        if ((c.reads & 15) == 0) {
            if ((c.reads & 1023) == 0)
                stopWhenAsked(o);
            c.span = clock.now() - start;
            if (c.span >= window.count())
                return c;
        }
    }
}

// "2", "1.5": seconds to a tenth.
std::string secondsText(std::chrono::nanoseconds span)
{
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(span).count() / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += "." + std::to_string(tenths % 10);
    return text;
}

void line(std::ostream &out, bool passed, const std::string &text)
{
    out << (passed ? "ok   " : "FAIL ") << text << '\n';
    out.flush(); // each step is seen as it ends
}

} // namespace

bool KitCheck::run(PortDriver *port, const std::string &openError, KitClock &clock, const KitCheckOptions &o,
                   std::ostream &out)
{
    bool passed = true;
    auto verdict = [&out](bool allPassed) {
        out << (allPassed ? "kit check passed" : "kit check failed") << '\n';
        out.flush();
        return allPassed;
    };
    if (port == nullptr) {
        line(out, false, "device " + (openError.empty() ? o.device + ": could not be opened" : openError));
        return verdict(false);
    }
    line(out, true, "device " + o.device + " opened and claimed");
    const std::int32_t status = o.base + 1;
    try {
        ActuatorOutput::writeZeroWord(*port, o.base);

        const Count rest = countChanges(*port, status, clock, o.restWindow, o);
        const double seconds = double(rest.span) * 1e-9;
        const auto perSecond = std::uint64_t(double(rest.reads) / seconds + 0.5);
        const bool fastEnough = perSecond >= o.minReadsPerSecond;
        line(out, fastEnough,
             "status reads: " + std::to_string(perSecond) + " per second (at least "
                 + std::to_string(o.minReadsPerSecond) + " needed)");
        const bool quiet = rest.changes <= o.maxChangesAtRest;
        line(out, quiet,
             "status changes with the motor at rest: " + std::to_string(rest.changes) + " in "
                 + secondsText(o.restWindow) + " s (at most " + std::to_string(o.maxChangesAtRest) + " allowed)"
                 + (quiet ? "" : ": a noisy sensor line, or the motor was still turning"));
        passed = fastEnough && quiet;

        if (o.spin) {
            const int u = *o.spin;
            ActuatorOutput::writeWord(*port, o.base, u);
            wait(clock, o.settle, o);
            const Count run = countChanges(*port, status, clock, o.spinWindow, o);
            // S changes a second at S rpm
            const double rpm = double(run.changes) / (double(run.span) * 1e-9);
            const auto shown = std::int64_t(rpm + 0.5);
            const bool turned = run.changes > 0;
            line(out, turned,
                 "speed at actuator " + std::to_string(u) + ": " + std::to_string(shown) + " rpm ("
                     + std::to_string(run.changes) + " changes in " + secondsText(o.spinWindow) + " s, after "
                     + secondsText(o.settle) + " s to settle)" + (turned ? "" : ": the motor did not turn"));
            passed = passed && turned;
        }
    } catch (const PortError &e) {
        line(out, false, std::string("port access: ") + e.what());
        passed = false;
    } catch (const Interrupted &e) {
        line(out, false, "interrupted by " + e.cause);
        passed = false;
    }
    try {
        ActuatorOutput::writeZeroWord(*port, o.base);
        line(out, true, "all-zero word written");
    } catch (const PortError &e) {
        line(out, false, std::string("all-zero word: ") + e.what());
        passed = false;
    }
    return verdict(passed);
}

} // namespace tervalo
