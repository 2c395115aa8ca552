#include "engine/ClassicController.h"
#include "engine/GainSearch.h"
#include "engine/PlantIdentification.h"
#include "engine/SimulatedPlant.h"
#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace tervalo;

namespace {

const ClassicLaw kLaws[] = {ClassicLaw::P, ClassicLaw::I, ClassicLaw::PI, ClassicLaw::PD, ClassicLaw::PID};

std::string lawName(ClassicLaw law)
{
    const char *names[] = {"P", "I", "PI", "PD", "PID"};
    return names[static_cast<int>(law)];
}

PlantModel simulatedModel()
{
    PlantModel m;
    m.gain = SimulatedPlant::gain;
    m.deadTime = 0.2;
    return m;
}

// A kit-like plant: no speed below about 1170, a lag of 0.3 s, the speed
// counted over each period in steps of 5 rpm.
PlantModel kitModel()
{
    PlantModel m;
    m.gain = 1.2;
    m.offset = -1400;
    m.timeConstant = 0.3;
    m.deadTime = 0.05;
    m.measurement = Measurement::PeriodMean;
    return m;
}

LoopSettings kitLoop()
{
    LoopSettings l;
    l.actuatorMin = 1300;
    l.actuatorStart = 1300;
    l.resolution = 5;
    return l;
}

// A simulated run as the control cycle makes it: the simulated plant's holder
// (cleared by STOP), the law's increment, the actuator set only when the new
// value converts to an Integer and lies within 0..4095.
std::vector<StepSample> simulationModeRun(ClassicLaw law, SliderGains g, int reference, int cycles)
{
    std::vector<StepSample> rows;
    long holder = 0;
    int actuator = 0;
    Integer prevError = 0;
    ClassicWorking w;
    for (int k = 1; k <= cycles; ++k) {
        const Integer outputY = static_cast<int>(holder);
        const Integer error = Integer(reference) - outputY;
        ClassicController::updateWorkingValues(w, error, prevError, 0.2f);
        const Extended sum =
            ClassicController::increment(law, w, error, prevError, gainOf(g.kp), gainOf(g.ki), gainOf(g.kd)) + actuator;
        try {
            const int v = CInt(sum);
            if (v >= 0 && v <= 4095 && v != actuator) {
                actuator = v;
                holder = SimulatedPlant::output(v).value();
            }
        } catch (const RuntimeError &) {
        }
        prevError = error;
        rows.push_back({k / 5.0, static_cast<double>(reference), static_cast<double>(outputY.value()),
                        static_cast<double>(reference - outputY.value()), static_cast<double>(actuator)});
    }
    return rows;
}

void expectSameRows(const std::vector<StepSample> &a, const std::vector<StepSample> &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t k = 0; k < a.size(); ++k) {
        SCOPED_TRACE("cycle " + std::to_string(k + 1));
        EXPECT_DOUBLE_EQ(a[k].time_s, b[k].time_s);
        EXPECT_EQ(a[k].y, b[k].y);
        EXPECT_EQ(a[k].e, b[k].e);
        ASSERT_EQ(a[k].u, b[k].u);
    }
}

} // namespace

TEST(GainSearch, RunsTheLawAsTheControlCycleDoes)
{
    // the P loop of the simulated plant: Y 0 then 632, U 500 then 684
    const std::vector<StepSample> p = runLaw(simulatedModel(), ClassicLaw::P, {500, 0, 0}, LoopSettings{});
    ASSERT_EQ(p.size(), 100u);
    EXPECT_EQ(p[0].y, 0);
    EXPECT_EQ(p[0].u, 500);
    EXPECT_EQ(p[1].y, 632);
    EXPECT_EQ(p[1].u, 684);
    EXPECT_DOUBLE_EQ(p[1].time_s, 0.4);

    const struct {
        ClassicLaw law;
        SliderGains gains;
    } cases[] = {
        {ClassicLaw::P, {1200, 0, 0}},  {ClassicLaw::I, {0, 4321, 0}},     {ClassicLaw::PI, {333, 1500, 0}},
        {ClassicLaw::PD, {150, 0, 77}}, {ClassicLaw::PID, {120, 400, 50}}, {ClassicLaw::PID, {200, 500, 100}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(lawName(c.law));
        LoopSettings loop;
        loop.reference = 1500;
        expectSameRows(runLaw(simulatedModel(), c.law, c.gains, loop), simulationModeRun(c.law, c.gains, 1500, 100));
    }
}

// An increment that would take the actuator past its maximum leaves it where
// it was, not at the maximum.
TEST(GainSearch, ActuatorOutsideItsRangeKeepsItsValue)
{
    PlantModel weak = simulatedModel();
    weak.gain = 0.3;
    LoopSettings loop;
    loop.reference = 2000;
    const std::vector<StepSample> rows = runLaw(weak, ClassicLaw::P, {1200, 0, 0}, loop);
    EXPECT_EQ(rows[0].u, 2400);
    EXPECT_EQ(rows[1].u, 3936);
    EXPECT_EQ(rows.back().u, 3936); // 3936 + Int(1.2 x 819) = 4918 is refused every cycle
    EXPECT_EQ(rows.back().e, 819);

    EXPECT_THROW(runLaw(weak, ClassicLaw::P, {1, 0, 0}, LoopSettings{1000, 0}), std::invalid_argument);
}

// For every law: the suggestion lies on its sliders, keeps the overshoot, and
// run again gives the figures it predicts.
TEST(GainSearch, SuggestionsStayOnTheirSlidersAndKeepTheirPrediction)
{
    SearchSettings s;
    s.loop = kitLoop();
    s.loop.cycles = 50; // keeps the sanitized build quick; the rise is over within 10 s
    for (ClassicLaw law : kLaws) {
        SCOPED_TRACE(lawName(law));
        const GainSuggestion g = suggestGains(kitModel(), law, s);
        ASSERT_TRUE(g.found) << g.reason;
        const GainSliderRanges r = gainSliderRanges(law);
        EXPECT_GE(g.gains.kp, 0);
        EXPECT_LE(g.gains.kp, r.kpMax);
        EXPECT_GE(g.gains.ki, 0);
        EXPECT_LE(g.gains.ki, r.kiMax);
        EXPECT_GE(g.gains.kd, 0);
        EXPECT_LE(g.gains.kd, r.kdMax);
        EXPECT_LE(g.figures[Metric::Overshoot].value, s.overshootLimit);
        ASSERT_TRUE(g.figures[Metric::Iae].available());

        const StepFigures again =
            computeStepFigures(runLaw(kitModel(), law, g.gains, s.loop), s.loop.actuatorMin, s.loop.actuatorMax);
        for (std::size_t m = 0; m < kMetricCount; ++m) {
            EXPECT_EQ(again.figures[m].reason, g.figures.figures[m].reason);
            EXPECT_EQ(again.figures[m].value, g.figures.figures[m].value);
        }
        // a better loop than the sliders' defaults (all 0: the actuator never moves)
        EXPECT_LT(g.figures[Metric::Iae].value, 1000 * 20);
    }
    const GainSliderRanges pid = gainSliderRanges(ClassicLaw::PID);
    EXPECT_EQ(pid.kpMax, 200);
    EXPECT_EQ(pid.kiMax, 500);
    EXPECT_EQ(pid.kdMax, 100);
    EXPECT_FLOAT_EQ(gainOf(350), 0.35f);
}

// The search's ranges are the panels' sliders, law by law.
TEST(GainSearch, RangesAreThePanelsSliders)
{
    struct Case {
        ClassicLaw law;
        GainSliderRanges r;
    };
    const Case cases[] = {
        {ClassicLaw::P, {1200, 0, 0, true, false, false}},    {ClassicLaw::I, {0, 5000, 0, false, true, false}},
        {ClassicLaw::PI, {1000, 3000, 0, true, true, false}}, {ClassicLaw::PD, {200, 0, 100, true, false, true}},
        {ClassicLaw::PID, {200, 500, 100, true, true, true}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(lawName(c.law));
        const GainSliderRanges r = gainSliderRanges(c.law);
        EXPECT_EQ(r.kpMax, c.r.kpMax);
        EXPECT_EQ(r.kiMax, c.r.kiMax);
        EXPECT_EQ(r.kdMax, c.r.kdMax);
        EXPECT_EQ(r.usesKp, c.r.usesKp);
        EXPECT_EQ(r.usesKi, c.r.usesKi);
        EXPECT_EQ(r.usesKd, c.r.usesKd);
    }
}

// Identify the simulated plant by a bump test, suggest PI gains on the fitted
// model and run them in the simulation mode: the run matches the prediction.
TEST(GainSearch, PredictionHoldsOnTheSimulatedPlant)
{
    BumpTestSettings b;
    b.u1 = 400;
    b.u2 = 1200;
    BumpTest test(b);
    long holder = 0;
    int set = -1;
    auto hold = [&](int u) {
        if (u != set)
            holder = SimulatedPlant::output(u).value();
        set = u;
    };
    hold(test.actuator());
    while (!test.finished())
        hold(test.cycle(static_cast<double>(holder)));
    ASSERT_TRUE(test.result().ok()) << test.result().reason;

    SearchSettings s;
    for (ClassicLaw law : {ClassicLaw::P, ClassicLaw::PI}) {
        SCOPED_TRACE(lawName(law));
        const GainSuggestion g = suggestGains(test.result().model, law, s);
        ASSERT_TRUE(g.found) << g.reason;
        const StepFigures run = computeStepFigures(simulationModeRun(law, g.gains, 1000, 100), 0, 4095);
        EXPECT_NEAR(run[Metric::Iae].value, g.figures[Metric::Iae].value, 0.03 * g.figures[Metric::Iae].value);
        EXPECT_NEAR(run[Metric::Overshoot].value, g.figures[Metric::Overshoot].value, 2);
        EXPECT_LE(run[Metric::Overshoot].value, s.overshootLimit + 2);
    }
}

TEST(GainSearch, OvershootLimitBinds)
{
    SearchSettings tight, loose;
    tight.loop = loose.loop = kitLoop();
    tight.overshootLimit = 0;
    loose.overshootLimit = 40;
    const GainSuggestion a = suggestGains(kitModel(), ClassicLaw::P, tight);
    const GainSuggestion b = suggestGains(kitModel(), ClassicLaw::P, loose);
    ASSERT_TRUE(a.found && b.found);
    EXPECT_EQ(a.figures[Metric::Overshoot].value, 0);
    EXPECT_LE(b.figures[Metric::Overshoot].value, 40);
    EXPECT_LE(b.figures[Metric::Iae].value, a.figures[Metric::Iae].value);

    SearchSettings impossible;
    impossible.overshootLimit = -1;
    const GainSuggestion none = suggestGains(simulatedModel(), ClassicLaw::P, impossible);
    EXPECT_FALSE(none.found);
    EXPECT_NE(none.reason.find("overshoot"), std::string::npos);
}
