#include "engine/PlantIdentification.h"
#include "engine/PlantModel.h"
#include "engine/SimulatedPlant.h"
#include "runtime/Numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

using namespace tervalo;

namespace {

PlantModel model(double gain, double offset, double tau, double deadTime, Measurement m)
{
    PlantModel p;
    p.gain = gain;
    p.offset = offset;
    p.timeConstant = tau;
    p.deadTime = deadTime;
    p.measurement = m;
    return p;
}

// A plant that answers each cycle: the speed this cycle measures, then the
// actuator value the cycle sets.
struct CyclePlant {
    std::function<double()> measure;
    std::function<void(int)> set;
};

// The model as a plant, its speed in whole counts of resolution rpm; with
// jitter, every count is off by -1, 0 or +1 in a fixed pseudo-random order.
CyclePlant modelPlant(const PlantModel &m, int start, int resolution, bool jitter = false)
{
    auto plant = std::make_shared<ModelPlant>(m, start);
    auto seed = std::make_shared<unsigned>(12345);
    return {[plant, resolution, jitter, seed] {
                double count = static_cast<double>(roundHalfEven(std::max(0.0, plant->measure()) / resolution));
                if (jitter) {
                    *seed = *seed * 1103515245u + 12345u;
                    count += static_cast<double>((*seed >> 16) % 3) - 1;
                }
                return resolution * count;
            },
            [plant](int u) { plant->hold(u); }};
}

// The simulation mode's plant: the holder is 0 after STOP, then the actuator
// value x 1.26302 from the first change on.
CyclePlant simulatedPlant()
{
    auto holder = std::make_shared<long>(0);
    auto actuator = std::make_shared<int>(-1);
    return {[holder] { return static_cast<double>(*holder); },
            [holder, actuator](int u) {
                if (u != *actuator)
                    *holder = SimulatedPlant::output(u).value();
                *actuator = u;
            }};
}

const Identification &runTest(BumpTest &test, CyclePlant plant, int cycleLimit = 2000)
{
    plant.set(test.actuator());
    for (int i = 0; i < cycleLimit && !test.finished(); ++i)
        plant.set(test.cycle(plant.measure()));
    EXPECT_TRUE(test.finished());
    return test.result();
}

BumpTestSettings bump(int u1, int u2, int resolution, Measurement m)
{
    BumpTestSettings s;
    s.u1 = u1;
    s.u2 = u2;
    s.fit.resolution = resolution;
    s.fit.measurement = m;
    return s;
}

} // namespace

// The model stepped cycle by cycle gives the same step response the fit uses,
// for dead times on and between cycles and both kinds of measurement.
TEST(PlantModel, SteppedResponseEqualsTheClosedForm)
{
    for (Measurement meas : {Measurement::Sample, Measurement::PeriodMean}) {
        for (double tau : {0.0, 0.07, 0.5}) {
            for (double dead : {0.2, 0.3, 0.45, 1.0}) {
                SCOPED_TRACE(std::to_string(static_cast<int>(meas)) + " tau " + std::to_string(tau) + " L "
                             + std::to_string(dead));
                const PlantModel m = model(1.5, -200, tau, dead, meas);
                ModelPlant p(m, 1000);
                EXPECT_DOUBLE_EQ(p.measure(), m.steady(1000));
                for (int n = 0; n <= 25; ++n) {
                    EXPECT_NEAR(p.measure(), m.steady(1000) + 1.5 * 500 * m.unitStep(n), 1e-9) << "cycle " << n;
                    p.hold(1500);
                }
            }
        }
    }
    EXPECT_THROW(ModelPlant(model(1, 0, 0.3, 0, Measurement::Sample), 0), std::invalid_argument);
    EXPECT_NO_THROW(ModelPlant(model(1, 0, 0.3, 0, Measurement::PeriodMean), 0));
}

// The simulated plant is a gain with one cycle of delay: K = 1.26302, no lag,
// L = 0.2 s, and the model repeats its outputs exactly.
TEST(PlantModel, SimulatedPlantIsAGainWithOneCycleOfDelay)
{
    ModelPlant p(model(SimulatedPlant::gain, 0, 0, 0.2, Measurement::Sample), 0);
    int previous = 0;
    for (int u : {1000, 1000, 4095, 17, 0, 2500}) {
        EXPECT_EQ(roundHalfEven(p.measure()), SimulatedPlant::output(previous).value());
        p.hold(u);
        previous = u;
    }
}

TEST(PlantIdentification, RecoversAKnownModel)
{
    struct Case {
        const char *name;
        double gain, offset, tau, dead;
        Measurement meas;
        int resolution;
        bool jitter = false;
    };
    const Case cases[] = {
        {"sampled, exact", 1.2, -300, 0.5, 0.3, Measurement::Sample, 1},
        {"sampled, counts of 5", 1.2, -300, 0.5, 0.3, Measurement::Sample, 5},
        {"period mean, counts of 5", 0.9, -150, 0.3, 0.0, Measurement::PeriodMean, 5},
        {"the emulated kit's motor", 1.8, -2250, 0.3, 0.0, Measurement::PeriodMean, 5},
        {"the same, counts off by one now and then", 1.8, -2250, 0.3, 0.0, Measurement::PeriodMean, 5, true},
        {"period mean, dead time between cycles", 1.1, 0, 0.8, 0.5, Measurement::PeriodMean, 5},
        {"no lag, dead time of two cycles", 0.7, 50, 0.0, 0.4, Measurement::Sample, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PlantModel truth = model(c.gain, c.offset, c.tau, c.dead, c.meas);
        BumpTest test(bump(1800, 2800, c.resolution, c.meas));
        const Identification &r = runTest(test, modelPlant(truth, 1800, c.resolution, c.jitter));
        ASSERT_EQ(r.status, BumpStatus::Fitted) << r.reason;
        EXPECT_NEAR(r.model.gain, c.gain, 0.02 * c.gain);
        EXPECT_NEAR(r.model.steady(1800), truth.steady(1800), 2.0 * c.resolution);
        EXPECT_NEAR(r.model.timeConstant, c.tau, 0.03 * c.tau + 0.01);
        EXPECT_NEAR(r.model.deadTime, c.dead, 0.02 * c.dead + 0.01);
        EXPECT_LE(r.rmse, c.jitter ? 2 * c.resolution : c.resolution);
        // the plot's arrays: one entry per recorded sample, the step at t = 0
        ASSERT_EQ(r.time.size(), test.response().before.size() + test.response().after.size());
        EXPECT_EQ(r.time.size(), r.residual.size());
        EXPECT_DOUBLE_EQ(r.time[test.response().before.size() - 1], 0);
        EXPECT_DOUBLE_EQ(r.measured.back() - r.fitted.back(), r.residual.back());
    }
}

TEST(PlantIdentification, SimulatedPlantReadsAsOneCycleOfDelay)
{
    BumpTest test(bump(800, 1600, 1, Measurement::Sample));
    const Identification &r = runTest(test, simulatedPlant());
    ASSERT_EQ(r.status, BumpStatus::Fitted) << r.reason;
    EXPECT_NEAR(r.model.gain, SimulatedPlant::gain, 1e-3);
    EXPECT_NEAR(r.model.timeConstant, 0, 0.005);
    EXPECT_DOUBLE_EQ(r.model.deadTime, 0.2);
    EXPECT_NEAR(r.model.steady(0), 0, 1);
    EXPECT_LT(r.rmse, 0.5);
    // a steady window at U1, then the step held until a steady window at U2
    EXPECT_EQ(test.response().before.size(), 10u);
    EXPECT_GE(test.response().after.size(), 10u);
    EXPECT_EQ(test.actuator(), 1600);
}

// The kit's count is taken over periods that the desktop's timer makes a few
// per cent longer or shorter than 200 ms, so the speed reads some 50 rpm off
// at random even when it is steady: the test still finds both steady
// stretches, and the model's gain and offset come out close.
TEST(PlantIdentification, SettlesThroughTheJitterOfThePeriod)
{
    const PlantModel truth = model(1.8, -2250, 0.3, 0.0, Measurement::PeriodMean);
    for (double share : {0.02, 0.04}) {
        SCOPED_TRACE(share);
        auto plant = std::make_shared<ModelPlant>(truth, 1800);
        auto seed = std::make_shared<unsigned>(2024);
        const CyclePlant jittered{[plant, seed, share] {
                                      *seed = *seed * 1103515245u + 12345u;
                                      const double u = static_cast<double>((*seed >> 8) % 2001) / 1000.0 - 1; // -1..1
                                      const double period = 1 + share * u;
                                      return 5 * std::round(std::max(0.0, plant->measure()) * period / 5);
                                  },
                                  [plant](int u) { plant->hold(u); }};
        BumpTest test(bump(1800, 2800, 5, Measurement::PeriodMean));
        const Identification &r = runTest(test, jittered);
        ASSERT_EQ(r.status, BumpStatus::Fitted) << r.reason;
        EXPECT_LT(test.cyclesRun(), 100);
        EXPECT_NEAR(r.model.gain, truth.gain, 0.05 * truth.gain);
        EXPECT_NEAR(r.model.steady(1800), truth.steady(1800), 0.05 * truth.steady(1800));
    }
}

TEST(PlantIdentification, RefusesWhatItCannotUse)
{
    // a speed that swings for ever
    {
        BumpTest test(bump(1000, 2000, 5, Measurement::PeriodMean));
        int k = 0;
        const Identification &r = runTest(test, {[&k] { return 1000.0 + ((++k % 2) ? 200 : -200); }, [](int) {}});
        EXPECT_EQ(r.status, BumpStatus::NeverSettled);
        EXPECT_NE(r.reason.find("U1 = 1000"), std::string::npos) << r.reason;
    }
    // settles at U1, then swings after the step: says so and offers a larger step
    {
        BumpTest test(bump(1000, 1200, 5, Measurement::PeriodMean));
        int k = 0;
        bool stepped = false;
        const Identification &r = runTest(test,
                                          {[&] { return stepped ? 1500.0 + ((++k % 2) ? 150 : -150) : 1200.0; },
                                           [&](int u) { stepped = u == 1200; }});
        EXPECT_EQ(r.status, BumpStatus::NeverSettled);
        EXPECT_GT(r.suggestedU2, 1200);
        EXPECT_LE(r.suggestedU2, 4095);
    }
    // a step of 20 units moves the kit's speed by 24 rpm: under ten counts of 5
    {
        BumpTest test(bump(2000, 2020, 5, Measurement::PeriodMean));
        const Identification &r = runTest(test, modelPlant(model(1.2, -300, 0.3, 0, Measurement::PeriodMean), 2000, 5));
        EXPECT_EQ(r.status, BumpStatus::StepTooSmall);
        EXPECT_NE(r.reason.find("count resolution of 5 rpm"), std::string::npos) << r.reason;
        EXPECT_NE(r.reason.find("larger step"), std::string::npos) << r.reason;
        EXPECT_GE(r.suggestedU2, 2000 + 2 * 20);
        EXPECT_LE(r.suggestedU2, 4095);
    }
    // no room for a larger step above U2: the suggestion goes the other way
    {
        BumpTestSettings s = bump(4090, 4095, 5, Measurement::PeriodMean);
        BumpTest test(s);
        const Identification &r = runTest(test, modelPlant(model(1.2, -300, 0.3, 0, Measurement::PeriodMean), 4090, 5));
        EXPECT_EQ(r.status, BumpStatus::StepTooSmall);
        EXPECT_GE(r.suggestedU2, 0);
        EXPECT_LT(r.suggestedU2, 4090);
    }
    // a speed that falls when the actuator rises
    {
        BumpTest test(bump(1000, 2000, 1, Measurement::Sample));
        const Identification &r = runTest(test, modelPlant(model(-0.5, 2000, 0.3, 0.2, Measurement::Sample), 1000, 1));
        EXPECT_EQ(r.status, BumpStatus::Unfittable);
        EXPECT_NE(r.reason.find("against the step"), std::string::npos) << r.reason;
    }
    // a resonant response is no lag with dead time
    {
        StepResponse resp;
        resp.u1 = 1000;
        resp.u2 = 2000;
        resp.before.assign(10, 1000);
        for (int n = 1; n <= 60; ++n)
            resp.after.push_back(2000 - 1000 * std::exp(-0.05 * n) * std::cos(1.2 * n));
        const Identification r = fitStepResponse(resp, FitSettings{});
        EXPECT_EQ(r.status, BumpStatus::Unfittable);
        EXPECT_NE(r.reason.find("not that of a lag"), std::string::npos) << r.reason;
    }
    // a ramp that never levels off within the record
    {
        StepResponse resp;
        resp.u1 = 1000;
        resp.u2 = 2000;
        resp.before.assign(10, 500);
        for (int n = 1; n <= 30; ++n)
            resp.after.push_back(500 + 10.0 * n);
        const Identification r = fitStepResponse(resp, FitSettings{});
        EXPECT_EQ(r.status, BumpStatus::Unfittable) << r.model.timeConstant;
    }
    // settings it cannot run
    for (const auto &[u1, u2] : {std::pair{1000, 1000}, std::pair{1000, 5000}, std::pair{1200, 2000}}) {
        BumpTestSettings s = bump(u1, u2, 5, Measurement::PeriodMean);
        s.actuatorMin = 1300;
        BumpTest test(s);
        EXPECT_TRUE(test.finished());
        EXPECT_EQ(test.status(), BumpStatus::BadSettings);
        EXPECT_EQ(test.cycle(100), test.actuator()); // nothing moves
    }
}
