// The control cycle on a fake host: no widgets, every call recorded.
#include "engine/ControlCycle.h"
#include "engine/FuzzyController.h"
#include "engine/Terms.h"
#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tervalo;

namespace {

class FakeHost : public CycleHost {
public:
    CycleSelection sel;
    std::int32_t plant = 0;
    int actuator = 1000, min = 0, max = 4095;
    int actuatorWrites = 0;
    int rejected = 0;
    std::vector<std::string> captions{7};
    std::vector<std::string> calls; // in order
    std::array<std::string, 49> rules;
    std::array<RuleShade, 49> shades{};
    int shadeCalls = 0;
    bool turning = true;

    FakeHost()
    {
        const auto &names = Terms::names(Terms::English);
        for (int i = 0; i < 49; ++i)
            rules[static_cast<std::size_t>(i)] = names[static_cast<std::size_t>(FuzzyController::defaultListIndex(i))];
    }

    CycleSelection selection() const override { return sel; }
    std::int32_t simulatedOutput() const override { return plant; }
    void setGraphCaption(int index, const std::string &t) override
    {
        captions[static_cast<std::size_t>(index)] = t;
        calls.push_back("caption" + std::to_string(index));
    }
    void setReadout(Readout, const std::string &) override { calls.push_back("readout"); }
    void plotSample(double, double) override { calls.push_back("plot"); }
    int actuatorValue() const override { return actuator; }
    int actuatorMin() const override { return min; }
    int actuatorMax() const override { return max; }
    void setActuatorValue(int v) override
    {
        calls.push_back("actuator");
        if (v < min || v > max) {
            ++rejected;
            raiseError(RuntimeError::InvalidPropertyValue, "Slider1");
        }
        ++actuatorWrites;
        actuator = v;
    }
    void ruleTexts(std::array<std::string, 49> &out) const override { out = rules; }
    void showRuleCells(const std::array<RuleShade, 49> &s) override
    {
        shades = s;
        ++shadeCalls;
    }
    void setAnimation(bool on) override { turning = on; }
};

class Recorder : public CycleObserver {
public:
    std::vector<CycleSample> samples;
    void cycleDone(const ExperimentState &, const CycleSample &s) override { samples.push_back(s); }
};

class CycleTest : public ::testing::Test {
protected:
    ExperimentState s;
    FakeHost host;
    ControlCycle cycle;

    void SetUp() override
    {
        const auto &names = Terms::names(Terms::English);
        s.setTermNames({names[0], names[1], names[2], names[3], names[4], names[5], names[6]});
        s.reference = 1000;
        s.controlReference = 1000;
        s.errorDeltaRange = 500;
        s.outputDeltaRange = 100;
    }
};

} // namespace

TEST_F(CycleTest, KitMeasurementAndTheOrderOfTheWindowCalls)
{
    host.sel.kit = true;
    host.sel.law = ClassicLaw::P;
    s.kp = 0.5f;
    s.pulseCount = 250;
    cycle.run(s, host);
    EXPECT_EQ(s.outputY, 1250);
    EXPECT_EQ(s.errorE, -250);
    EXPECT_EQ(host.captions[2], "Y(t) =1250");
    EXPECT_EQ(host.captions[3], "E(t) =-250");
    EXPECT_EQ(host.captions[1], "RT=1000");
    EXPECT_EQ(host.captions[4], "Kp= 0.5");
    EXPECT_EQ(host.actuator, 1000 - 125);
    EXPECT_EQ(s.prevError.value(), -250);
    EXPECT_EQ(s.pulseCount.value(), 0);
    EXPECT_EQ(s.sampleCount.value(), 1);
    EXPECT_TRUE(host.turning); // more than ten changes in the period: the motor turns
    const std::vector<std::string> order = {"caption2", "caption3", "readout", "plot",
                                            "caption1", "actuator", "readout", "caption4"};
    EXPECT_EQ(host.calls, order);
}

TEST_F(CycleTest, OverflowingCountKeepsThePreviousOutput)
{
    host.sel.kit = true;
    s.outputY = 777;
    s.pulseCount = 6554; // x 5 leaves the 16-bit range
    cycle.run(s, host);
    EXPECT_EQ(s.outputY, 777);
    EXPECT_EQ(s.errorE, 1000 - 777);
    EXPECT_EQ(s.pulseCount.value(), 0);
    EXPECT_EQ(s.sampleCount.value(), 1); // the later steps still ran
}

TEST_F(CycleTest, RejectedActuatorValueKeepsThePreviousOne)
{
    host.sel.simulation = true;
    host.sel.law = ClassicLaw::P;
    host.actuator = 4000;
    s.kp = 1.2f; // 4000 + Int(1000 x 1.2) is past the maximum
    cycle.run(s, host);
    EXPECT_EQ(host.rejected, 1);
    EXPECT_EQ(host.actuator, 4000);
    EXPECT_EQ(s.prevError.value(), 1000); // the cycle went on
}

TEST_F(CycleTest, NoFuzzyStepAtReferenceZero)
{
    host.sel.simulation = true;
    host.sel.fuzzy = true;
    s.reference = 0;
    cycle.run(s, host);
    EXPECT_EQ(host.shadeCalls, 0);
    EXPECT_EQ(host.actuatorWrites, 0);
    EXPECT_EQ(host.captions[1], "RT=0");
}

TEST_F(CycleTest, OpenLoopNeverWritesTheActuator)
{
    for (ClassicLaw law : {ClassicLaw::P, ClassicLaw::I, ClassicLaw::PI, ClassicLaw::PD, ClassicLaw::PID}) {
        host.sel = {};
        host.sel.law = law;
        s.kp = s.ki = s.kd = 0.1f;
        s.pulseCount = 100;
        cycle.run(s, host);
        EXPECT_EQ(host.actuatorWrites, 0);
        EXPECT_EQ(s.prevError, s.currentError);
    }
    host.sel = {};
    host.sel.fuzzy = true;
    cycle.run(s, host);
    EXPECT_EQ(host.actuatorWrites, 0);
    EXPECT_EQ(host.shadeCalls, 0);
}

TEST_F(CycleTest, FuzzyOutputHeldAtALimitTurnsTheTableRed)
{
    host.sel.kit = true;
    host.sel.fuzzy = true;
    host.min = 1300;
    host.actuator = 4095;
    for (std::string &r : host.rules)
        r = "PB";
    s.fuzzyOutput = 4090;
    cycle.run(s, host);
    EXPECT_TRUE(s.lastCycleSaturated);
    EXPECT_EQ(host.actuator, 4095);
    EXPECT_EQ(s.fuzzyOutput.value(), 4095);
    for (RuleShade shade : host.shades)
        EXPECT_EQ(shade, RuleShade::Saturated);
}

TEST_F(CycleTest, ObserversReceiveEachFinishedCycle)
{
    Recorder rec;
    cycle.addObserver(&rec);
    cycle.addObserver(&rec); // once only
    host.sel.simulation = true;
    host.sel.fuzzy = true;
    host.plant = 800;
    cycle.run(s, host);
    cycle.run(s, host);
    ASSERT_EQ(rec.samples.size(), 2u);
    EXPECT_EQ(rec.samples[0].cycle.value(), 1);
    EXPECT_EQ(rec.samples[0].y, 800);
    EXPECT_EQ(rec.samples[0].e, 200);
    EXPECT_TRUE(rec.samples[0].fuzzy);
    EXPECT_EQ(rec.samples[1].u, host.actuator);
    cycle.removeObserver(&rec);
    cycle.run(s, host);
    EXPECT_EQ(rec.samples.size(), 2u);
}
