#include "engine/ClassicController.h"
#include "engine/RunRecord.h"
#include "engine/SimulatedPlant.h"
#include "engine/StepFigures.h"
#include "runtime/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace tervalo;

namespace {

// Rows of a simulated run: cycle k at t = k / 5, reference 1000 unless
// given, E = R - Y, U constant 2000 unless given.
std::vector<StepSample> rowsOf(const std::vector<double> &y, double reference = 1000, const std::vector<double> &u = {})
{
    std::vector<StepSample> rows;
    for (std::size_t k = 0; k < y.size(); ++k)
        rows.push_back({static_cast<double>(k + 1) / 5, reference, y[k], reference - y[k], u.empty() ? 2000.0 : u[k]});
    return rows;
}

std::vector<double> withTail(std::vector<double> head, double value, std::size_t n)
{
    head.insert(head.end(), n, value);
    return head;
}

void expectFigure(const StepFigures &f, Metric m, double expected)
{
    SCOPED_TRACE(metricKey(m));
    ASSERT_TRUE(f[m].available()) << reasonText(f[m].reason);
    EXPECT_NEAR(f[m].value, expected, 1e-9);
}

void expectMissing(const StepFigures &f, Metric m, FigureReason why)
{
    SCOPED_TRACE(metricKey(m));
    EXPECT_FALSE(f[m].available());
    EXPECT_EQ(f[m].reason, why);
    EXPECT_EQ(figureText(f[m]), why == FigureReason::NotSettled ? "n/a (not settled)" : "n/a");
}

struct Expected {
    double rise, peak, peakTime, overshoot, settling;
};

struct ResponseCase {
    const char *what;
    std::vector<double> y;
    Expected x;
};

} // namespace

// Responses whose figures follow by hand from the piecewise-linear rows.
TEST(StepFigures, KnownResponses)
{
    const ResponseCase cases[] = {
        // a ramp into the final value: 10 % at 0.3 s, 90 % at 1.1 s, enters
        // 980 between 800 (1.0 s) and 1000 (1.2 s) at 1.18 s
        {"no overshoot", withTail({0, 200, 400, 600, 800}, 1000, 10), {0.8, 1000, 1.2, 0, 1.18}},
        // 10 % at 0.24 s, 90 % at 0.56 s; 20 % over, back into 1020 between 1100 (1.0 s) and 1000 (1.2 s)
        {"overshoot", withTail({0, 500, 1000, 1200, 1100}, 1000, 10), {0.56 - 0.24, 1200, 0.8, 20, 1.16}},
        // going down from 1000 to 0, undershooting to -100: the peak is the
        // smallest Y, the overshoot 10 %
        {"downward", withTail({1000, 800, 400, -100}, 0, 10), {0.72 - 0.3, -100, 0.8, 10, 0.8 + 0.2 * 80 / 100}},
    };
    for (const ResponseCase &c : cases) {
        SCOPED_TRACE(c.what);
        const StepFigures f = computeStepFigures(rowsOf(c.y), 0, 4095);
        expectFigure(f, Metric::RiseTime, c.x.rise);
        expectFigure(f, Metric::Peak, c.x.peak);
        expectFigure(f, Metric::PeakTime, c.x.peakTime);
        expectFigure(f, Metric::Overshoot, c.x.overshoot);
        expectFigure(f, Metric::SettlingTime, c.x.settling);
    }
}

TEST(StepFigures, FirstOrderResponse)
{
    // Y = 1000 (1 - exp(-(t - 0.2) / 0.6)) from the first row; the
    // figures of the sampled curve approach the continuous ones: rise time
    // 0.6 ln 9 = 1.318 s, settling time 0.6 ln 50 = 2.347 s.
    std::vector<double> y;
    for (int k = 0; k <= 200; ++k)
        y.push_back(1000 * (1 - std::exp(-k * 0.2 / 0.6)));
    const StepFigures f = computeStepFigures(rowsOf(y), 0, 4095);
    EXPECT_NEAR(f[Metric::RiseTime].value, 0.6 * std::log(9.0), 0.03);
    EXPECT_NEAR(f[Metric::SettlingTime].value, 0.2 + 0.6 * std::log(50.0), 0.03);
    expectFigure(f, Metric::Overshoot, 0);
    EXPECT_NEAR(f[Metric::SteadyStateError].value, 0, 1e-9);
}

// A response has settled when each of its last ten rows lies within 2 % of
// |yf - y0| of their mean yf; only then are the figures measured against yf
// given. NaN in the table: "not settled".
TEST(StepFigures, SettledOrNot)
{
    constexpr double NS = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char *what;
        std::vector<double> y;
        double rise, peak, peakTime, overshoot, settling, error;
    };
    std::vector<double> rising; // 0 to 922 in 32 rows, still rising at the end
    for (int k = 0; k < 32; ++k)
        rising.push_back(std::round(922 * (1 - std::exp(-k / 40.0)) / (1 - std::exp(-31 / 40.0))));
    std::vector<double> oscillating{0};
    for (int k = 0; k < 30; ++k)
        oscillating.push_back(k % 2 ? 0 : 2000);
    const Case cases[] = {
        {"rises and settles", withTail({0, 200, 400, 600, 800}, 1000, 10), 0.8, 1000, 1.2, 0, 1.18, 0},
        {"overshoots and settles", withTail({0, 500, 1000, 1200, 1100}, 1000, 10), 0.56 - 0.24, 1200, 0.8, 20, 1.16, 0},
        // mean of the last ten 1002, band 20.04: 1020 lies in it
        {"settles at the band's edge", withTail(withTail({0, 500, 1100}, 1000, 9), 1020, 1),
         0.4 + 0.2 * 401.8 / 600 - (0.2 + 0.2 * 100.2 / 500), 1100, 0.6, 100 * 98 / 1002.0, 0.6 + 0.2 * 77.96 / 100,
         -2},
        {"still rising at the end", rising, NS, 922, 6.4, NS, NS, NS},
        {"oscillates", oscillating, NS, 2000, 0.4, NS, NS, NS},
        // nine rows at 1000 and a last one of 780: mean 978, band 19.56
        {"drops in the last row", withTail(withTail({0, 500}, 1000, 9), 780, 1), NS, 1000, 0.6, NS, NS, NS},
        {"falls, still falling", {1000, 900, 800, 700, 600, 500, 400, 300, 200, 100, 0}, NS, 0, 2.2, NS, NS, NS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const StepFigures f = computeStepFigures(rowsOf(c.y), 0, 4095);
        const std::pair<Metric, double> against[] = {{Metric::RiseTime, c.rise},
                                                     {Metric::Overshoot, c.overshoot},
                                                     {Metric::SettlingTime, c.settling},
                                                     {Metric::SteadyStateError, c.error}};
        for (const auto &[m, v] : against)
            if (std::isnan(v))
                expectMissing(f, m, FigureReason::NotSettled);
            else
                expectFigure(f, m, v);
        // given whether settled or not
        expectFigure(f, Metric::Peak, c.peak);
        expectFigure(f, Metric::PeakTime, c.peakTime);
        for (Metric m : {Metric::Iae, Metric::Ise, Metric::ActuatorMax, Metric::SaturatedPct, Metric::ActuatorTravel})
            EXPECT_TRUE(f[m].available()) << metricKey(m);
    }
}

TEST(StepFigures, FiguresThatCannotBeHad)
{
    const Metric stepMetrics[] = {Metric::RiseTime,  Metric::Peak,         Metric::PeakTime,
                                  Metric::Overshoot, Metric::SettlingTime, Metric::SteadyStateError};
    {
        SCOPED_TRACE("nine rows");
        const StepFigures f = computeStepFigures(rowsOf({0, 500, 900, 1000, 1000, 1000, 1000, 1000, 1000}), 0, 4095);
        for (Metric m : stepMetrics)
            expectMissing(f, m, FigureReason::TooFewRows);
        // the sums do not need a final value
        expectFigure(f, Metric::Iae, (1000 + 500 + 100) / 5.0);
        expectFigure(f, Metric::ActuatorMax, 2000);
    }
    {
        SCOPED_TRACE("no change");
        const StepFigures f = computeStepFigures(rowsOf(std::vector<double>(12, 900)), 0, 4095);
        for (Metric m : {Metric::RiseTime, Metric::Overshoot, Metric::SettlingTime})
            expectMissing(f, m, FigureReason::NoChange);
        expectFigure(f, Metric::Peak, 900);
        expectFigure(f, Metric::PeakTime, 0.2);
        expectFigure(f, Metric::SteadyStateError, 100);
    }
    {
        SCOPED_TRACE("no rows");
        const StepFigures f = computeStepFigures(nullptr, 0, 0, 4095);
        for (const MetricInfo &m : kMetrics)
            expectMissing(f, m.metric, FigureReason::NoRows);
    }
    {
        SCOPED_TRACE("not a number");
        std::vector<double> y = withTail({0}, 1000, 12);
        y[1] = y[2] = std::numeric_limits<double>::quiet_NaN();
        auto rows = rowsOf(y);
        for (auto &r : rows)
            r.y = std::numeric_limits<double>::quiet_NaN();
        rows[0].y = 0;
        const StepFigures f = computeStepFigures(rows, 0, 4095);
        EXPECT_FALSE(f[Metric::RiseTime].available());
    }
    for (FigureReason r : {FigureReason::NoRows, FigureReason::TooFewRows, FigureReason::NoChange,
                           FigureReason::NoCrossing, FigureReason::NotSettled})
        EXPECT_STRNE(reasonText(r), "");
}

TEST(StepFigures, ErrorAreasAndActuatorEffort)
{
    // E: 1000, 400, -100, 0 ... ; U: 0 (at the minimum), 4095 (at the
    // maximum), 3000, then 2000 for the rest
    std::vector<double> y = withTail({0, 600, 1100}, 1000, 9);
    std::vector<double> u = withTail({0, 4095, 3000}, 2000, 9);
    const StepFigures f = computeStepFigures(rowsOf(y, 1000, u), 0, 4095);
    expectFigure(f, Metric::Iae, 1500 * 0.2);
    expectFigure(f, Metric::Ise, (1e6 + 160000 + 10000) * 0.2);
    expectFigure(f, Metric::ActuatorMax, 4095);
    expectFigure(f, Metric::SaturatedPct, 100.0 * 2 / 12);
    expectFigure(f, Metric::ActuatorTravel, 4095 + 1095 + 1000);
    // areas are exact decimals: 3 x 0.2 would print as 0.6000000000000001
    const StepFigures small = computeStepFigures(rowsOf(withTail({997}, 1000, 11)), 0, 4095);
    EXPECT_EQ(figureText(small[Metric::Iae]), "0.6");
}

// The P loop against the simulated plant: reference 1000, kp 0.5, the
// actuator at 0 before START, the plant answering one cycle late.
TEST(StepFigures, ProportionalLoopOfTheSimulatedPlant)
{
    const Integer reference = 1000;
    Integer actuator = 0, prevError = 0;
    Long held = 0;
    ClassicWorking w;
    std::vector<StepSample> rows;
    for (int cycle = 1; cycle <= 50; ++cycle) {
        const Integer y = held.value();
        const Integer error = reference - y;
        ClassicController::updateWorkingValues(w, error, prevError, 0.2f);
        const Extended inc = ClassicController::increment(ClassicLaw::P, w, error, prevError, 0.5f, 0, 0);
        actuator = Integer::fromExtended(inc + actuator.ld());
        held = SimulatedPlant::output(actuator);
        prevError = error;
        rows.push_back({cycle / 5.0, double(reference.value()), double(y.value()), double(error.value()),
                        double(actuator.value())});
    }
    // Y: 0 632 864 950 981 993 997 998 999 999 ...; U: 500 684 752 777 786 789 790 791 791 ...
    const double y[] = {0, 632, 864, 950, 981, 993, 997, 998, 999, 999};
    const double u[] = {500, 684, 752, 777, 786, 789, 790, 791, 791, 791};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(rows[k].y, y[k]) << k;
        EXPECT_EQ(rows[k].u, u[k]) << k;
    }
    const StepFigures f = computeStepFigures(rows, 0, 4095);
    const double t10 = 0.2 + 0.2 * 99.9 / 632, t90 = 0.6 + 0.2 * (899.1 - 864) / (950 - 864);
    expectFigure(f, Metric::RiseTime, t90 - t10);
    expectFigure(f, Metric::Peak, 999);
    expectFigure(f, Metric::PeakTime, 1.8);
    expectFigure(f, Metric::Overshoot, 0);
    expectFigure(f, Metric::SettlingTime, 0.8 + 0.2 * (979.02 - 950) / (981 - 950));
    expectFigure(f, Metric::SteadyStateError, 1);
    const double absSum = 1000 + 368 + 136 + 50 + 19 + 7 + 3 + 2 + 42 * 1;
    const double squareSum = 1e6 + 368.0 * 368 + 136 * 136 + 2500 + 361 + 49 + 9 + 4 + 42;
    expectFigure(f, Metric::Iae, absSum / 5);
    expectFigure(f, Metric::Ise, squareSum / 5);
    expectFigure(f, Metric::ActuatorMax, 791);
    expectFigure(f, Metric::SaturatedPct, 0);
    expectFigure(f, Metric::ActuatorTravel, 291);
}

TEST(StepFigures, StretchesOfConstantReference)
{
    std::vector<StepSample> rows = rowsOf(std::vector<double>(7, 0));
    for (int k : {3, 4})
        rows[k].reference = 1500;
    rows[6].reference = 500;
    const std::vector<Stretch> s = constantReferenceStretches(rows.data(), rows.size());
    const Stretch expected[] = {{0, 3, 1000}, {3, 5, 1500}, {5, 6, 1000}, {6, 7, 500}};
    ASSERT_EQ(s.size(), std::size(expected));
    for (std::size_t k = 0; k < s.size(); ++k) {
        EXPECT_EQ(s[k].begin, expected[k].begin);
        EXPECT_EQ(s[k].end, expected[k].end);
        EXPECT_EQ(s[k].reference, expected[k].reference);
    }
    EXPECT_TRUE(constantReferenceStretches(nullptr, 0).empty());
}

TEST(StepFigures, MetricNamesInSummaryOrder)
{
    const char *expected[] = {"rise_time_s",        "peak", "peak_time_s", "overshoot_pct", "settling_time_s",
                              "steady_state_error", "iae",  "ise",         "actuator_max",  "saturated_pct",
                              "actuator_travel"};
    ASSERT_EQ(kMetrics.size(), std::size(expected));
    for (std::size_t k = 0; k < kMetrics.size(); ++k) {
        EXPECT_STREQ(kMetrics[k].key, expected[k]);
        EXPECT_EQ(static_cast<std::size_t>(kMetrics[k].metric), k);
    }
}

TEST(StepFigures, ShortestDecimalText)
{
    struct Case {
        double value;
        const char *text;
    };
    const Case cases[] = {
        {3 / 5.0, "0.6"},
        {1000, "1000"},
        {-2.5, "-2.5"},
        {-0.0, "0"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1.0 / 3, "0.3333333333333333"},
        {1e22, "1e+22"},
        {std::numeric_limits<double>::quiet_NaN(), ""},
    };
    // the program's regional separator does not reach file numbers
    NumberText::setDecimalSeparator(',');
    for (const Case &c : cases)
        EXPECT_EQ(shortestDecimal(c.value), c.text);
    NumberText::setDecimalSeparator('.');
    EXPECT_EQ(figureText(Figure::of(1.25)), "1.25");
    EXPECT_EQ(figureText(Figure::missing(FigureReason::TooFewRows)), "n/a");
}

TEST(StepFigures, SummaryLines)
{
    StepFigures f = computeStepFigures(rowsOf(withTail({0, 500, 1000, 1200, 1100}, 1000, 10)), 0, 4095);
    // interpolated times are written as computed: 0.56 - 0.24 in doubles
    EXPECT_EQ(summaryLines(f),
              "rise_time_s,0.32000000000000006\n"
              "peak,1200\n"
              "peak_time_s,0.8\n"
              "overshoot_pct,20\n"
              "settling_time_s,1.16\n"
              "steady_state_error,0\n"
              "iae,360\n"
              "ise,260000\n"
              "actuator_max,2000\n"
              "saturated_pct,0\n"
              "actuator_travel,0\n");
    f = computeStepFigures(rowsOf({0, 500}), 0, 4095);
    EXPECT_EQ(summaryLines(f).substr(0, 32), "rise_time_s,n/a\npeak,n/a\npeak_ti");
}
