#include "engine/RunRecord.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tervalo;

namespace {

RunRow rowAt(std::int64_t cycle, double y)
{
    RunRow r;
    r.cycle = cycle;
    r.reference = 1000;
    r.y = y;
    r.e = 1000 - y;
    r.u = 500;
    return r;
}

} // namespace

TEST(RunRecord, RowsUntilTheNextStart)
{
    RunRecord record(100);
    EXPECT_FALSE(record.started());
    RunSettings s;
    s.controller = RunController::Fuzzy;
    s.rules[24] = "ZE";
    record.start(s);
    EXPECT_TRUE(record.running());
    for (int k = 1; k <= 12; ++k)
        record.append(rowAt(k, k < 3 ? 0 : 900));
    record.addLoadChange({5, 1, 20});
    record.stop();
    EXPECT_FALSE(record.running());
    ASSERT_EQ(record.size(), 12u);
    EXPECT_EQ(record.row(2).y, 900);
    EXPECT_EQ(record.samples()[2].time_s, 0.6);
    EXPECT_EQ(record.settings().rules[24], "ZE");
    ASSERT_EQ(record.settings().loadChanges.size(), 1u);
    EXPECT_TRUE(record.figures()[Metric::Peak].available());
    EXPECT_EQ(record.figures(0, 5)[Metric::Peak].reason, FigureReason::TooFewRows);
    // a range past the end is cut to the rows there are
    EXPECT_EQ(record.figures(10, 99)[Metric::Iae].value, record.figures(10, 12)[Metric::Iae].value);
    EXPECT_EQ(record.figures(10, 99)[Metric::Iae].value, 2 * 100 / 5.0);

    const auto run = record.runNumber();
    record.start(RunSettings{});
    EXPECT_EQ(record.runNumber(), run + 1);
    EXPECT_TRUE(record.empty());
    EXPECT_TRUE(record.settings().loadChanges.empty());
    EXPECT_EQ(record.settings().rules[24], "");
}

// Rows past the bound are counted, not kept, and never move the rows kept.
TEST(RunRecord, BoundedWithoutReallocation)
{
    RunRecord record(20);
    record.start(RunSettings{});
    record.append(rowAt(1, 0));
    const RunRow *first = &record.row(0);
    const StepSample *firstSample = record.samples().data();
    for (int k = 2; k <= 25; ++k)
        record.append(rowAt(k, 1000));
    EXPECT_EQ(record.size(), 20u);
    EXPECT_EQ(record.droppedRows(), 5u);
    EXPECT_TRUE(record.truncated());
    EXPECT_EQ(&record.row(0), first);
    EXPECT_EQ(record.samples().data(), firstSample);
    EXPECT_EQ(record.row(19).cycle, 20);

    record.start(RunSettings{});
    EXPECT_FALSE(record.truncated());
    EXPECT_EQ(record.capacity(), 20u);
    // an hour of cycles fits the default bound
    EXPECT_GE(RunRecord().capacity(), 18000u);
}

TEST(RunRecord, ColumnsAndValues)
{
    const char *names[] = {"cycle",    "time_s",     "reference", "output", "error",
                           "actuator", "fuzzy_step", "p_part",    "i_part", "d_part"};
    ASSERT_EQ(kRunColumns.size(), std::size(names));
    RunRow r = rowAt(7, 950);
    r.p = 25;
    for (std::size_t k = 0; k < kRunColumns.size(); ++k) {
        EXPECT_STREQ(kRunColumns[k].name, names[k]);
        EXPECT_EQ(static_cast<std::size_t>(kRunColumns[k].column), k);
    }
    EXPECT_EQ(columnValue(r, RunColumn::Cycle), 7);
    EXPECT_EQ(columnValue(r, RunColumn::Time), 1.4);
    EXPECT_EQ(columnValue(r, RunColumn::Error), 50);
    EXPECT_EQ(columnValue(r, RunColumn::PPart), 25);
    // a value the cycle did not have is NaN, not 0
    EXPECT_TRUE(std::isnan(columnValue(r, RunColumn::FuzzyStep)));
    EXPECT_TRUE(std::isnan(columnValue(r, RunColumn::IPart)));
}

TEST(RunRecord, NamesAndStartTime)
{
    EXPECT_STREQ(runModeName(RunMode::OpenLoop), "open");
    EXPECT_STREQ(runModeName(RunMode::Kit), "kit");
    EXPECT_STREQ(runModeName(RunMode::Simulation), "simulation");
    EXPECT_STREQ(runControllerName(RunController::PID), "PID");
    EXPECT_STREQ(runControllerName(RunController::Fuzzy), "fuzzy");
    EXPECT_EQ(utcText(std::chrono::system_clock::time_point{} + std::chrono::seconds(1796876534)),
              "2026-12-10T04:22:14Z");
}

// A test program's stretches end at every event: the stretch after a
// reference step stops where a later load change acts, so its peak is the
// step's, and the load change's response is a stretch of its own.
TEST(RunRecord, StretchesEndAtEveryEventLoadChangesIncluded)
{
    RunRecord record(200);
    record.start(RunSettings{});
    const auto add = [&record](std::int64_t cycle, double reference, double y) {
        RunRow r = rowAt(cycle, y);
        r.reference = reference;
        r.e = reference - y;
        record.append(r);
    };
    for (int k = 1; k <= 30; ++k)
        add(k, 1000, k < 3 ? 500.0 * k : 1000);
    for (int k = 31; k <= 60; ++k) // the step, settled by cycle 33
        add(k, 1500, k < 33 ? 1000 + 250.0 * (k - 30) : 1500);
    record.addLoadChange({61, 20, 1}); // lighter: the speed jumps, then comes back
    for (int k = 61; k <= 90; ++k)
        add(k, 1500, k == 61 ? 1600 : k == 62 ? 1550 : 1500);
    record.addLoadChange({200, 1, 5}); // past the rows: no stretch of its own
    record.stop();

    const std::vector<RunRecord::StretchFigures> s = record.stretchFigures();
    ASSERT_EQ(s.size(), 3u);
    const struct {
        std::int64_t first, last;
        double reference;
        int load;
        double peak;
    } expected[] = {{1, 30, 1000, -1, 1000}, {31, 60, 1500, -1, 1500}, {61, 90, 1500, 1, 1500}};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(s[k].firstCycle, expected[k].first);
        EXPECT_EQ(s[k].lastCycle, expected[k].last);
        EXPECT_EQ(s[k].reference, expected[k].reference);
        EXPECT_EQ(s[k].load, expected[k].load);
        EXPECT_EQ(s[k].figures[Metric::Peak].value, expected[k].peak);
    }
    // the step's stretch no longer sees the jump of the later load change
    EXPECT_EQ(s[1].figures[Metric::Overshoot].value, 0);
    EXPECT_DOUBLE_EQ(s[1].figures[Metric::PeakTime].value, 0.4);
}

TEST(RunRecord, KeepFirstCutsTheRowsAndTheLoadChangesAfterThem)
{
    RunRecord r;
    r.start({});
    for (int c = 1; c <= 10; ++c) {
        RunRow row;
        row.cycle = c;
        row.y = c;
        r.append(row);
    }
    for (std::int64_t at : {5, 9, 11})
        r.addLoadChange({at, 1, 2});
    r.keepFirst(12); // more than there are: nothing
    EXPECT_EQ(r.size(), 10u);
    r.keepFirst(8);
    ASSERT_EQ(r.size(), 8u);
    EXPECT_EQ(r.samples().size(), 8u);
    EXPECT_EQ(r.rows().back().y, 8);
    // the change acting on cycle 9 came before the cut, as a last-cycle move does
    ASSERT_EQ(r.settings().loadChanges.size(), 2u);
    EXPECT_EQ(r.settings().loadChanges.back().cycle, 9);
}
