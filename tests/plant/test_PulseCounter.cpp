#include "plant/MemoryPort.h"
#include "plant/PulseCounter.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace tervalo;

namespace {

class ScriptedPump : public EventPump {
public:
    void processEvents() override
    {
        ++pumps;
        if (onEvents)
            onEvents();
    }
    void waitForEvents() override
    {
        ++waits;
        if (onEvents)
            onEvents();
    }

    std::function<void()> onEvents;
    int pumps = 0;
    int waits = 0;
};

// The loop with a control cycle that takes and clears the count on every
// pump, as the window's does on each tick, and a fixed number of samples
// between pumps so that the figures do not depend on the machine's speed.
class PulseCounterTest : public ::testing::Test {
protected:
    static constexpr int SamplesPerPump = 100;

    void SetUp() override
    {
        io.port = &port;
        io.driverPresent = &present;
        io.pulseCount = &pulseCount;
        io.stopRequested = &stop;
        io.pump = &pump;
        io.onPortFailure = [this](const std::string &line) { failures.push_back(line); };
        io.pumpInterval = std::chrono::hours(1);
        io.samplesPerPump = SamplesPerPump;
    }

    // Each pump (or wait) runs one control cycle; the n-th one presses STOP.
    void stopAfter(int events, bool clearCount = true)
    {
        pump.onEvents = [this, events, clearCount] {
            taken.push_back(pulseCount.value());
            if (clearCount)
                pulseCount = 0;
            if (pump.pumps + pump.waits >= events)
                stop = true;
        };
    }

    long total() const
    {
        long sum = 0;
        for (int t : taken)
            sum += t;
        return sum;
    }

    MemoryPort port;
    bool present = true;
    Integer pulseCount;
    bool stop = false;
    ScriptedPump pump;
    std::vector<std::string> failures;
    std::vector<int> taken;
    PulseCounterIo io;
};

} // namespace

TEST_F(PulseCounterTest, SteadyStatusCountsNothing)
{
    port.setStatusScript({0x33}, false);
    stopAfter(5);
    PulseCounter::run(io);
    EXPECT_EQ(taken, (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(pulseCount.value(), 0);
    EXPECT_EQ(port.reads(), 1u + 4 * SamplesPerPump); // first sample, then between pumps
    EXPECT_EQ(pump.waits, 0);
}

TEST_F(PulseCounterTest, EveryChangeReachesTheNextControlCycle)
{
    port.setStatusScript({0x00, 0x08}, true);
    stopAfter(5);
    PulseCounter::run(io);
    EXPECT_EQ(taken, (std::vector<int>{0, 100, 100, 100, 100}));
    EXPECT_EQ(pulseCount.value(), 0);
}

TEST_F(PulseCounterTest, ChangeOfSeveralLinesCountsOne)
{
    // samples: first 0x00, then FF (change) FF 81 (change) 80 (change), 80...
    port.setStatusScript({0x00, 0xFF, 0xFF, 0x81, 0x80}, false);
    stopAfter(2);
    PulseCounter::run(io);
    EXPECT_EQ(total(), 3);
}

TEST_F(PulseCounterTest, CountStopsAtLargestInteger)
{
    port.setStatusScript({0x00, 0x01}, true);
    io.samplesPerPump = 40000;
    stopAfter(3);
    PulseCounter::run(io);
    EXPECT_EQ(taken, (std::vector<int>{0, 32767, 32767}));
}

TEST_F(PulseCounterTest, UnclearedCountStopsAtLargestInteger)
{
    port.setStatusScript({0x00, 0x01}, true);
    io.samplesPerPump = 20000;
    stopAfter(3, false);
    PulseCounter::run(io);
    EXPECT_EQ(taken, (std::vector<int>{0, 20000, 32767}));
    EXPECT_EQ(pulseCount.value(), 32767);
}

TEST_F(PulseCounterTest, StopEndsTheLoopAfterTheCurrentPass)
{
    port.setStatusScript({0x00, 0x01}, true);
    stopAfter(3);
    PulseCounter::run(io);
    EXPECT_EQ(pump.pumps, 3);
    EXPECT_EQ(port.reads(), 1u + 2 * SamplesPerPump); // nothing sampled after STOP
}

TEST_F(PulseCounterTest, ProgramEndEndsTheLoopToo)
{
    bool ending = false;
    io.ending = &ending;
    pump.onEvents = [&] {
        if (pump.pumps == 2)
            ending = true;
    };
    PulseCounter::run(io);
    EXPECT_EQ(pump.pumps, 2);
    EXPECT_FALSE(stop);
}

TEST_F(PulseCounterTest, OnePassRunsEvenWhenAlreadyStopped)
{
    for (bool sampling : {true, false}) {
        ScriptedPump fresh;
        io.pump = &fresh;
        io.sampling = sampling;
        stop = true;
        pulseCount = 7;
        PulseCounter::run(io);
        EXPECT_EQ(fresh.pumps, 1) << "sampling " << sampling;
        EXPECT_EQ(fresh.waits, 0) << "sampling " << sampling; // must not sleep on its way out
        EXPECT_EQ(pulseCount.value(), 0);
    }
}

TEST_F(PulseCounterTest, NoDriverMeansNoReadsAndSleepingPump)
{
    port.setStatusScript({0x00, 0x01}, true);
    for (bool portGiven : {true, false}) {
        present = portGiven ? false : true;
        io.port = portGiven ? &port : nullptr;
        pump = ScriptedPump();
        stop = false;
        taken.clear();
        stopAfter(3);
        PulseCounter::run(io);
        EXPECT_EQ(pump.waits, 3);
        EXPECT_EQ(pump.pumps, 0);
        EXPECT_EQ(total(), 0);
    }
    EXPECT_EQ(port.reads(), 0u);
    EXPECT_TRUE(failures.empty());
}

TEST_F(PulseCounterTest, SimulationNeverReadsThePort)
{
    port.setStatusScript({0x00, 0x01}, true);
    io.sampling = false;
    stopAfter(3);
    PulseCounter::run(io);
    EXPECT_EQ(port.reads(), 0u);
    EXPECT_EQ(pump.waits, 3);
    EXPECT_EQ(total(), 0);
    EXPECT_TRUE(present);
}

TEST_F(PulseCounterTest, VanishingPortIsReportedOnceAndTheLoopGoesOn)
{
    port.setStatusScript({0x00, 0x01}, true);
    port.failAfter(50); // the first sample and 49 more, then gone
    stopAfter(4);
    PulseCounter::run(io);
    EXPECT_FALSE(present);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("memory port: device gone"), std::string::npos);
    EXPECT_EQ(failures[0].find('\n'), std::string::npos);
    EXPECT_EQ(pump.pumps, 1);
    EXPECT_EQ(pump.waits, 3);
    EXPECT_EQ(taken, (std::vector<int>{0, 49, 0, 0})); // changes before the failure still count
    EXPECT_EQ(port.reads(), 50u);
}

TEST_F(PulseCounterTest, PortGoneBeforeTheFirstSample)
{
    port.failAfter(0);
    io.driverPresent = nullptr; // without the flag the loop must still stay away
    stopAfter(2);
    PulseCounter::run(io);
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_EQ(pump.waits, 2);
    EXPECT_EQ(port.reads(), 0u);
}

TEST_F(PulseCounterTest, DriverDroppedByAHandlerStopsTheReads)
{
    port.setStatusScript({0x00, 0x01}, true);
    pump.onEvents = [this] {
        present = false;
        if (pump.pumps + pump.waits == 3)
            stop = true;
    };
    PulseCounter::run(io);
    EXPECT_EQ(port.reads(), 1u);
    EXPECT_EQ(pump.pumps, 1);
    EXPECT_EQ(pump.waits, 2);
}

TEST_F(PulseCounterTest, RequiredPartsMissing)
{
    io.pump = nullptr;
    EXPECT_THROW(PulseCounter::run(io), std::invalid_argument);
}

// Paced by the sample budget alone: exactly that many samples between two
// pumps, also when it is no multiple of the loop's batches.
TEST_F(PulseCounterTest, UntimedPaceTakesTheWholeBudgetBetweenPumps)
{
    port.setStatusScript({0x00, 0x01}, true);
    io.pumpInterval = PulseCounterIo::NoTimeLimit;
    io.samplesPerPump = 37;
    stopAfter(4);
    PulseCounter::run(io);
    EXPECT_EQ(port.reads(), 1u + 3 * 37);
    EXPECT_EQ(taken, (std::vector<int>{0, 37, 37, 37}));
}
