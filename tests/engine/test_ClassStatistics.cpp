#include "engine/ClassStatistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tervalo;

namespace {
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct BoxCase {
    const char *name;
    std::vector<double> values;
    double q1, median, q3, low, high;
    std::vector<std::size_t> outliers;
};

class BoxPlot : public ::testing::TestWithParam<BoxCase> { };

TEST_P(BoxPlot, QuartilesWhiskersAndOutliers)
{
    const BoxCase &c = GetParam();
    const BoxStats b = boxStats(c.values);
    EXPECT_DOUBLE_EQ(b.q1, c.q1);
    EXPECT_DOUBLE_EQ(b.median, c.median);
    EXPECT_DOUBLE_EQ(b.q3, c.q3);
    EXPECT_DOUBLE_EQ(b.lowWhisker, c.low);
    EXPECT_DOUBLE_EQ(b.highWhisker, c.high);
    EXPECT_EQ(b.outliers, c.outliers);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoxPlot,
    ::testing::Values(BoxCase{"Odd", {5, 1, 3, 2, 4}, 2, 3, 4, 1, 5, {}},
                      BoxCase{"EvenMedianIsTheMiddleMean", {1, 2, 3, 4}, 1.75, 2.5, 3.25, 1, 4, {}},
                      // IQR 2 (2..4): fences -1 and 7; 40 is out, the whisker ends at 5
                      BoxCase{"HighOutlierByIndex", {3, 40, 2, 4, 5, 1, 3}, 2.5, 3, 4.5, 1, 5, {1}},
                      BoxCase{"NotAvailableIsLeftOut", {NaN, 10, NaN, 20, 30}, 15, 20, 25, 10, 30, {}},
                      BoxCase{"OneValue", {7}, 7, 7, 7, 7, 7, {}},
                      BoxCase{"LowOutlier", {-100, 10, 11, 12, 13, 14}, 10.25, 11.5, 12.75, 10, 14, {0}}),
    [](const ::testing::TestParamInfo<BoxCase> &i) { return std::string(i.param.name); });

TEST(BoxPlot, NothingToShowCountsNone)
{
    EXPECT_EQ(boxStats({}).count, 0u);
    EXPECT_EQ(boxStats({NaN, NaN}).count, 0u);
    EXPECT_EQ(boxStats({1, NaN, 2}).count, 2u);
}

TEST(StudentEffort, TriesAndTimeOnTaskBySittings)
{
    // Ayse: two runs 5 min apart (one sitting of 5 min + 60 s), then one a day later
    // (a second sitting of 30 s); Berk: one run of 120 s
    const double day = 86400;
    const std::vector<ClassRunFacts> runs{
        {"Ayse", 1000, 30}, {"Berk", 5000, 120}, {"Ayse", 1300, 60}, {"Ayse", 1000 + day, 30}};
    const std::vector<StudentEffort> e = effortPerStudent(runs);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].student, "Ayse");
    EXPECT_EQ(e[0].tries, 3);
    EXPECT_EQ(e[0].sittings, 2);
    EXPECT_DOUBLE_EQ(e[0].timeOnTaskS, 360 + 30);
    EXPECT_DOUBLE_EQ(e[0].firstStartS, 1000);
    EXPECT_DOUBLE_EQ(e[0].lastEndS, 1030 + day);
    EXPECT_EQ(e[1].student, "Berk");
    EXPECT_EQ(e[1].tries, 1);
    EXPECT_DOUBLE_EQ(e[1].timeOnTaskS, 120);
    // overlapping runs (two windows at once) are not counted twice
    const std::vector<StudentEffort> o = effortPerStudent({{"C", 0, 100}, {"C", 50, 20}});
    EXPECT_DOUBLE_EQ(o[0].timeOnTaskS, 100);
}

TEST(KitDrift, MarkedPastTenPercentOfTheFirstIdentification)
{
    // out of order on purpose: the first by time is the reference
    const KitDrift d = kitDrift({{300, 0.50, 1.30}, {100, 0.50, 1.00}, {200, 0.54, 1.05}, {400, 0.44, 1.00}});
    ASSERT_EQ(d.series.size(), 4u);
    EXPECT_DOUBLE_EQ(d.series[0].atS, 100);
    EXPECT_EQ(d.beyondLimit, (std::vector<bool>{false, false, true, true}));
    EXPECT_NEAR(d.gainDrift[1], 0.08, 1e-12);
    EXPECT_NEAR(d.timeConstantDrift[2], 0.30, 1e-12);
    EXPECT_NEAR(d.gainDrift[3], -0.12, 1e-12);
    EXPECT_TRUE(d.drifting);
    EXPECT_FALSE(kitDrift({{1, 0.5, 1}, {2, 0.52, 1.09}}).drifting);
    EXPECT_FALSE(kitDrift({}).drifting);
}

// A stored bump test of a first-order plant (K 0.5 rpm a unit, tau 1 s,
// no dead time beyond the sample) stepped from 1000 to 1200 at cycle 20.
RunRecord storedBumpTest(double gain, double tau)
{
    RunSettings s;
    s.mode = RunMode::Simulation;
    RunRecord r;
    r.start(s);
    double y = gain * 1000;
    const double a = std::exp(-0.2 / tau);
    for (int c = 1; c <= 80; ++c) {
        RunRow row;
        row.cycle = c;
        row.u = c < 20 ? 1000 : 1200;
        row.y = std::round(y);
        r.append(row);
        y = a * y + (1 - a) * gain * row.u; // the next cycle's speed
    }
    r.stop();
    return r;
}

TEST(StoredBumpTest, FittedAgainFromItsRows)
{
    const Identification id = identifyStoredBumpTest(storedBumpTest(0.5, 1.0));
    ASSERT_TRUE(id.ok()) << id.reason;
    EXPECT_NEAR(id.model.gain, 0.5, 0.01);
    EXPECT_NEAR(id.model.timeConstant, 1.0, 0.15);

    RunRecord flat;
    flat.start({});
    for (int c = 1; c <= 10; ++c) {
        RunRow row;
        row.cycle = c;
        row.u = 1500;
        flat.append(row);
    }
    EXPECT_FALSE(stepResponseOf(flat));
    EXPECT_FALSE(identifyStoredBumpTest(flat).ok());
}
} // namespace
