#include "plant/ActuatorOutput.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/PulseCounter.h"
#include "tests/support/KitCyclePump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

using namespace tervalo;
using namespace std::chrono_literals;

namespace {

constexpr std::int32_t Base = 888;
constexpr std::int32_t Status = Base + 1;

class EmulatedKit : public ::testing::Test {
protected:
    // Y of each of `cycles` control cycles, through the real counting loop.
    std::vector<int> run(int cycles, KitEmulator &on, KitClock &time)
    {
        Integer count;
        bool stop = false;
        bool present = true;
        test::KitCyclePump pump(time, on, count, stop, cycles);
        PulseCounterIo io;
        io.port = &on;
        io.driverPresent = &present;
        io.pulseCount = &count;
        io.stopRequested = &stop;
        io.pump = &pump;
        io.pumpInterval = std::chrono::hours(1);
        io.samplesPerPump = 100; // a pump every 100 us of port time
        PulseCounter::run(io);
        trueSpeeds = pump.trueSpeeds;
        return pump.ys;
    }
    std::vector<int> run(int cycles) { return run(cycles, kit, clock); }

    static double mean(const std::vector<int> &v, std::size_t from)
    {
        return std::accumulate(v.begin() + long(from), v.end(), 0.0) / double(v.size() - from);
    }

    VirtualKitClock clock;
    KitEmulator kit{clock, Base};
    std::vector<double> trueSpeeds;
};

} // namespace

TEST_F(EmulatedKit, DecodesTheWordTheConnectorSees)
{
    EXPECT_EQ(kit.actuatorWord(), 0); // before any write
    for (int v : {0, 1, 1300, 2000, 4095, 0xAAA, 0x555, 0x80F, 0x7F0, 0x008}) {
        ActuatorOutput::writeWord(kit, Base, v);
        EXPECT_EQ(kit.actuatorWord(), v) << v;
    }
    struct Bytes {
        int data, control, word;
    };
    for (const Bytes &b : {Bytes{0, 11, 0}, Bytes{81, 15, 1300}, Bytes{255, 4, 4095}, Bytes{0, 10, 1},
                           Bytes{0, 0xF0 | 11, 0}, Bytes{255, 0x40 | 4, 4095}})
        EXPECT_EQ(KitEmulator::decodeWord(std::uint8_t(b.data), std::uint8_t(b.control)), b.word)
            << b.data << "/" << b.control;
}

TEST_F(EmulatedKit, RegistersReadBackAndOtherAddressesAreRefused)
{
    kit.DlPortWritePortUchar(Base, 81);
    kit.DlPortWritePortUchar(Base + 2, 15);
    EXPECT_EQ(kit.DlPortReadPortUchar(Base), 81);
    EXPECT_EQ(kit.DlPortReadPortUchar(Base + 2), 15);
    EXPECT_THROW(kit.DlPortWritePortUchar(Base + 1, 0), PortError);
    EXPECT_THROW(kit.DlPortReadPortUchar(Base + 3), PortError);
    EXPECT_EQ(clock.statusReads(), 0u); // only status reads take port time
}

TEST_F(EmulatedKit, SteadySpeedHasADeadZoneAndRisesLinearly)
{
    EXPECT_EQ(kit.steadySpeed(0), 0);
    EXPECT_EQ(kit.steadySpeed(1250), 0);
    EXPECT_GT(kit.steadySpeed(1300), 0);
    EXPECT_LT(kit.steadySpeed(1300), 150); // the kit-mode minimum barely turns it
    EXPECT_NEAR(kit.steadySpeed(2000) - kit.steadySpeed(1500), 500 * kit.model().rpmPerStep, 1e-9);
    EXPECT_GT(kit.steadySpeed(3000), 2000); // the highest reference is well within reach
    EXPECT_GT(kit.steadySpeed(4095), 5000);
}

TEST_F(EmulatedKit, SpeedFollowsAFirstOrderLagWhateverTheReadsInBetween)
{
    VirtualKitClock other;
    KitEmulator unread(other, Base);
    ActuatorOutput::writeWord(kit, Base, 2000);
    ActuatorOutput::writeWord(unread, Base, 2000);
    for (int i = 0; i < 300000; ++i) // 0.3 s of reads
        kit.DlPortReadPortUchar(Status);
    other.advance(300ms);
    const double target = kit.steadySpeed();
    const double oneTau = target * (1 - std::exp(-1.0));
    EXPECT_NEAR(kit.speed(), oneTau, 1e-6 * target);
    EXPECT_NEAR(unread.speed(), oneTau, 1e-9 * target);
    // the old word drives until the new one is written
    ActuatorOutput::writeZeroWord(kit, Base);
    clock.advance(300ms);
    EXPECT_NEAR(kit.speed(), oneTau * std::exp(-1.0), 1e-6 * target);
}

TEST_F(EmulatedKit, AtRestOnlyIdleLinesAreRead)
{
    std::uint8_t first = kit.DlPortReadPortUchar(Status);
    EXPECT_EQ(first & 0x7F, 0x7F); // open input lines read 1
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(kit.DlPortReadPortUchar(Status), first);
    EXPECT_EQ(run(3), (std::vector<int>{0, 0, 0}));
}

TEST_F(EmulatedKit, SensorTogglesOnlyTheBusyLine)
{
    ActuatorOutput::writeWord(kit, Base, 4095);
    clock.advance(1s);
    std::uint8_t previous = kit.DlPortReadPortUchar(Status);
    int changes = 0;
    for (int i = 0; i < 10000; ++i) {
        const std::uint8_t s = kit.DlPortReadPortUchar(Status);
        ASSERT_EQ(s & 0x7F, 0x7F);
        changes += s != previous;
        previous = s;
    }
    // S changes a second at S rpm
    EXPECT_NEAR(changes, kit.speed() * 0.01, 1.0);
}

TEST_F(EmulatedKit, OpenLoopReadsBackTheSteadySpeed)
{
    for (int u : {1300, 2000, 4095}) {
        ActuatorOutput::writeWord(kit, Base, u);
        clock.advance(2s); // seven time constants
        const std::vector<int> ys = run(10);
        EXPECT_NEAR(mean(ys, 0), kit.steadySpeed(), 0.01 * kit.steadySpeed()) << u;
    }
}

TEST_F(EmulatedKit, CountingIsAccurateFrom500To5000Rpm)
{
    const double deadZone = kit.model().deadZone;
    const double slope = kit.model().rpmPerStep;
    for (int s = 500; s <= 5000; s += 500) {
        ActuatorOutput::writeWord(kit, Base, int(std::lround(deadZone + s / slope)));
        clock.advance(3s);
        const std::vector<int> ys = run(3);
        for (std::size_t i = 0; i < ys.size(); ++i)
            EXPECT_NEAR(ys[i], trueSpeeds[i], 10.0) << s << " rpm, cycle " << i;
    }
}

TEST_F(EmulatedKit, LoadTorqueLowersTheSpeed)
{
    EXPECT_EQ(KitEmulator::loadTorqueForLevel(1), 0);
    EXPECT_DOUBLE_EQ(KitEmulator::loadTorqueForLevel(11), 0.10);
    EXPECT_DOUBLE_EQ(KitEmulator::loadTorqueForLevel(30), 0.29);
    EXPECT_DOUBLE_EQ(KitEmulator::loadTorqueForLevel(99), 0.29);
    EXPECT_EQ(KitEmulator::loadTorqueForLevel(-5), 0);

    ActuatorOutput::writeWord(kit, Base, 2000);
    clock.advance(2s);
    const double free = mean(run(5), 0);
    kit.setLoadTorque(KitEmulator::loadTorqueForLevel(11));
    EXPECT_NEAR(kit.steadySpeed(), kit.steadySpeed(2000), 1e-9);
    EXPECT_NEAR(kit.steadySpeed(), 1350 - 0.1 * kit.fullSpeed(), 1e-9);
    clock.advance(2s);
    const double loaded = mean(run(5), 0);
    EXPECT_NEAR(free - loaded, 0.1 * kit.fullSpeed(), 15);
    kit.setLoadTorque(1.0); // stalls at any drive, never turns backwards
    EXPECT_EQ(kit.steadySpeed(4095), 0);
}

TEST_F(EmulatedKit, NoiseRepeatsWithItsSeed)
{
    KitEmulator::Model noisy;
    noisy.noise = 0.02;
    auto cycles = [&](std::uint64_t seed) {
        VirtualKitClock own;
        noisy.noiseSeed = seed;
        KitEmulator k(own, Base, noisy);
        ActuatorOutput::writeWord(k, Base, 2000);
        own.advance(2s);
        return run(10, k, own);
    };
    const std::vector<int> a = cycles(7), b = cycles(7), c = cycles(8);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_NEAR(mean(a, 0), 1350, 0.02 * 1350);
    const auto [lo, hi] = std::minmax_element(a.begin(), a.end());
    EXPECT_GT(*hi - *lo, 10); // more than the counting's own two counts
}

// A stretch of reads on the virtual clock is answered in one step: it must
// return what the same reads made one by one return, whatever the motor is
// doing and however the reads are cut into stretches.
namespace {

enum StepKind { Word, Load, Advance, Reads };
struct Step {
    StepKind kind;
    double value;
};

struct Outcome {
    std::vector<std::pair<std::uint64_t, int>> seen; // changes so far and the last byte, after each Reads step
    std::int64_t elapsed = 0;
    std::uint64_t reads = 0;
    double speed = 0;
    bool operator==(const Outcome &o) const
    {
        return seen == o.seen && elapsed == o.elapsed && reads == o.reads && speed == o.speed;
    }
};

// stretch 0: every read made on its own
Outcome play(const KitModel &model, const std::vector<Step> &steps, std::uint64_t stretch)
{
    VirtualKitClock clock;
    KitEmulator kit(clock, Base, model);
    StatusSamples samples;
    Outcome out;
    for (const Step &s : steps) {
        switch (s.kind) {
        case Word: ActuatorOutput::writeWord(kit, Base, int(s.value)); break;
        case Load: kit.setLoadTorque(s.value); break;
        case Advance: clock.advance(std::chrono::nanoseconds(std::int64_t(s.value))); break;
        case Reads:
            for (std::uint64_t left = std::uint64_t(s.value); left > 0;) {
                if (stretch == 0) {
                    const std::uint8_t b = kit.DlPortReadPortUchar(Status);
                    samples.changes += b != samples.last;
                    samples.last = b;
                    --left;
                    continue;
                }
                const std::uint64_t n = std::min(left, stretch);
                kit.sampleStretch(Status, n, samples);
                left -= n;
            }
            out.seen.emplace_back(samples.changes, samples.last);
            break;
        }
    }
    out.elapsed = clock.elapsed().count();
    out.reads = kit.statusReads();
    out.speed = kit.speed();
    return out;
}

} // namespace

TEST(EmulatedKitStretch, AnswersAsTheReadsOneByOne)
{
    struct Case {
        const char *name;
        KitModel model;
        std::vector<Step> steps;
    };
    KitModel noisy;
    noisy.noise = 0.02;
    noisy.noiseSeed = 5;
    KitModel slow;
    slow.timeConstant = 2;
    KitModel quick;
    quick.timeConstant = 1e-4;
    const std::vector<Case> cases = {
        {"speeding up from rest", {}, {{Word, 2000}, {Reads, 200000}}},
        {"full speed after a pause", {}, {{Word, 4095}, {Advance, 3e9}, {Reads, 50000}}},
        {"coasting to rest past a re-basing",
         {},
         {{Word, 3000}, {Reads, 100000}, {Word, 0}, {Advance, 8e8}, {Reads, 200000}}},
        {"slowing to a lower speed", {}, {{Word, 4095}, {Reads, 100000}, {Word, 1500}, {Reads, 100000}}},
        {"load steps", {}, {{Word, 2500}, {Reads, 100000}, {Load, 0.2}, {Reads, 50000}, {Load, 1}, {Reads, 50000}}},
        {"noise held 10 ms", noisy, {{Word, 2500}, {Reads, 100000}, {Advance, 12345678}, {Reads, 50000}}},
        {"a lag longer than the run", slow, {{Word, 4095}, {Reads, 200000}}},
        {"a lag shorter than a read", quick, {{Word, 1800}, {Reads, 50000}, {Word, 3900}, {Reads, 50000}}},
    };
    for (const Case &c : cases) {
        const Outcome oneByOne = play(c.model, c.steps, 0);
        EXPECT_GT(oneByOne.seen.back().first, 20u) << c.name;
        for (std::uint64_t stretch : {1u, 16u, 100u, 4099u, 1000000u})
            EXPECT_TRUE(play(c.model, c.steps, stretch) == oneByOne) << c.name << ", stretches of " << stretch;
    }
}

// On the machine's clock a stretch is made of real reads, one at a time.
TEST(EmulatedKitStretch, OnTheSteadyClockEveryReadIsMade)
{
    SteadyKitClock steady;
    KitEmulator kit(steady, Base);
    ActuatorOutput::writeWord(kit, Base, 4095);
    StatusSamples seen;
    kit.sampleStretch(Status, 5000, seen);
    EXPECT_EQ(kit.statusReads(), 5000u);
    EXPECT_EQ(seen.last & 0x7F, 0x7F);
    EXPECT_THROW(kit.sampleStretch(Base + 3, 1, seen), PortError);
}
