// The recorder of a run: rows from the cycle's samples, load changes with the
// cycle they act on, nothing outside a run.
#include "engine/RunRecorder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tervalo;

namespace {

CycleSample classicSample()
{
    CycleSample s;
    s.cycle = 7;
    s.reference = 1000;
    s.y = 640;
    s.e = 360;
    s.u = 1234;
    s.p = 36;
    s.i = 21.5L;
    s.hasP = s.hasI = true;
    return s;
}

} // namespace

TEST(RunRecorder, RowsKeepWhatTheCycleHad)
{
    struct Case {
        const char *what;
        CycleSample sample;
        bool closedLoop;
        bool du, p, i, d;
    };
    CycleSample fuzzy;
    fuzzy.fuzzy = true;
    fuzzy.du = -12;
    CycleSample pid = classicSample();
    pid.hasD = true;
    pid.d = -3;
    const Case cases[] = {
        {"PI law", classicSample(), true, false, true, true, false},
        {"PID law", pid, true, false, true, true, true},
        {"fuzzy closed loop", fuzzy, true, true, false, false, false},
        {"fuzzy selected in open loop", fuzzy, false, false, false, false, false},
        {"open loop, no law", CycleSample{}, false, false, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const RunRow row = RunRecorder::rowOf(c.sample, 3, c.closedLoop);
        EXPECT_EQ(row.cycle, 3);
        EXPECT_DOUBLE_EQ(row.time_s(), 0.6);
        EXPECT_EQ(row.reference, c.sample.reference);
        EXPECT_EQ(row.y, static_cast<double>(c.sample.y));
        EXPECT_EQ(row.e, static_cast<double>(c.sample.e));
        EXPECT_EQ(row.u, c.sample.u);
        EXPECT_EQ(!std::isnan(row.du), c.du);
        EXPECT_EQ(!std::isnan(row.p), c.p);
        EXPECT_EQ(!std::isnan(row.i), c.i);
        EXPECT_EQ(!std::isnan(row.d), c.d);
    }
    EXPECT_EQ(RunRecorder::rowOf(fuzzy, 1, true).du, -12);
    EXPECT_EQ(RunRecorder::rowOf(pid, 1, true).i, 21.5);
}

TEST(RunRecorder, RecordsFromStartToStopAndKeepsTheRowsUntilTheNextStart)
{
    RunRecorder rec(50);
    ExperimentState state;
    int seen = 0;
    rec.onRow = [&] { ++seen; };

    rec.cycleDone(state, classicSample()); // before any START: nothing
    rec.loadMoved(1, 5);
    EXPECT_TRUE(rec.record().empty());
    EXPECT_EQ(seen, 0);

    RunSettings settings;
    settings.mode = RunMode::Simulation;
    settings.load = 1;
    rec.start(settings);
    for (int k = 0; k < 4; ++k)
        rec.cycleDone(state, classicSample());
    rec.loadMoved(1, 12);  // acts on the fifth cycle
    rec.loadMoved(12, 12); // no move
    rec.cycleDone(state, classicSample());
    rec.stop();
    rec.cycleDone(state, classicSample()); // after STOP: not recorded
    rec.loadMoved(12, 3);

    ASSERT_EQ(rec.record().size(), 5u);
    EXPECT_EQ(seen, 5);
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(rec.record().row(k).cycle, static_cast<std::int64_t>(k + 1)); // counted from START
    ASSERT_EQ(rec.record().settings().loadChanges.size(), 1u);
    EXPECT_EQ(rec.record().settings().loadChanges[0].cycle, 5);
    EXPECT_EQ(rec.record().settings().loadChanges[0].from, 1);
    EXPECT_EQ(rec.record().settings().loadChanges[0].to, 12);

    rec.start(settings); // a new run starts from cycle 1 again
    rec.cycleDone(state, classicSample());
    ASSERT_EQ(rec.record().size(), 1u);
    EXPECT_EQ(rec.record().row(0).cycle, 1);
    EXPECT_TRUE(rec.record().settings().loadChanges.empty());
}
