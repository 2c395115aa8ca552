#pragma once
// The time base of the emulated kit. The emulator asks it when each port
// access happens: in the program that is the steady clock of the machine;
// in tests and in the simulator a virtual clock that moves on only by the
// time the port's reads take (1 us each, as on a real parallel port), so a
// run of minutes costs a fraction of a second and gives the same figures
// on every machine.

#include <chrono>
#include <cstdint>

namespace tervalo {

class KitClock {
public:
    virtual ~KitClock() = default;

    // Nanoseconds since the clock's own start; never goes back.
    virtual std::int64_t now() = 0;

    // The moment a status read samples the input lines. The real clock
    // tells the time; the virtual clock first moves on by one read.
    virtual std::int64_t statusRead() { return now(); }

    // A stretch of n status reads in one step, where the clock fixes their
    // times: it moves on by n reads and tells when the first falls and the
    // time from one to the next. The real clock cannot (false, nothing
    // moves): its reads are made one at a time.
    virtual bool readStretch(std::uint64_t n, std::int64_t &first, std::int64_t &spacing)
    {
        (void)n;
        (void)first;
        (void)spacing;
        return false;
    }

    // Let span pass without reading the port (the self-test's settling
    // time): the real clock sleeps, the virtual clock moves on at once.
    virtual void wait(std::chrono::nanoseconds span) = 0;
};

// The machine's steady clock.
class SteadyKitClock final : public KitClock {
public:
    SteadyKitClock();
    std::int64_t now() override;
    void wait(std::chrono::nanoseconds span) override;

private:
    std::chrono::steady_clock::time_point start_;
};

// A clock that moves only when told to, and by readTime on every status
// read.
class VirtualKitClock final : public KitClock {
public:
    static constexpr std::chrono::nanoseconds PortReadTime{1000};

    explicit VirtualKitClock(std::chrono::nanoseconds readTime = PortReadTime) : readTime_(readTime.count()) { }

    std::int64_t now() override { return t_; }
    std::int64_t statusRead() override
    {
        ++reads_;
        return t_ += readTime_;
    }
    bool readStretch(std::uint64_t n, std::int64_t &first, std::int64_t &spacing) override
    {
        first = t_ + readTime_;
        spacing = readTime_;
        t_ += std::int64_t(n) * readTime_;
        reads_ += n;
        return true;
    }
    void wait(std::chrono::nanoseconds span) override { advance(span); }

    void advance(std::chrono::nanoseconds span)
    {
        if (span.count() > 0)
            t_ += span.count();
    }
    std::chrono::nanoseconds elapsed() const { return std::chrono::nanoseconds(t_); }
    std::uint64_t statusReads() const { return reads_; }

private:
    std::int64_t readTime_;
    std::int64_t t_ = 0;
    std::uint64_t reads_ = 0;
};

// Falls due once every period of a clock's time: the control cycle's timer
// for a counting loop on the virtual clock. A tick is not queued: when
// several periods have passed unseen, due() is true once and the next
// period counts from now.
class CycleTimer {
public:
    explicit CycleTimer(KitClock &clock, std::chrono::nanoseconds period = std::chrono::milliseconds(200))
        : clock_(clock), period_(period.count()), next_(clock.now() + period_)
    { }

    bool due()
    {
        const std::int64_t t = clock_.now();
        if (t < next_)
            return false;
        next_ += period_;
        if (next_ <= t)
            next_ = t + period_;
        return true;
    }

private:
    KitClock &clock_;
    std::int64_t period_;
    std::int64_t next_;
};

} // namespace tervalo
