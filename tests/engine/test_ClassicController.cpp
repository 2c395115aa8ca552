#include "engine/ClassicController.h"
#include "engine/SimulatedPlant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace tervalo;

namespace {

constexpr Single kPeriod = 0.2f;

ClassicWorking workingFor(Integer current, Integer previous)
{
    ClassicWorking w;
    ClassicController::updateWorkingValues(w, current, previous, kPeriod);
    return w;
}

struct LawCase {
    ClassicLaw law;
    Extended expected;
};

} // namespace

// First closed-loop cycle of a run: e(k-1) = 0, so PI, PD and PID have no
// proportional part and the derivative acts on -e(1) / T.
TEST(ClassicController, FirstCycleOfEachLaw)
{
    const Integer e = 100;
    const ClassicWorking w = workingFor(e, 0);
    EXPECT_FLOAT_EQ(w.errorRate, 500.0f);
    EXPECT_FLOAT_EQ(w.errorArea, 10.0f); // T (e(k-1) + e(k)) / 2
    EXPECT_FLOAT_EQ(w.negErrorRate, -500.0f);

    const Single kp = 0.5f, ki = 2.0f, kd = 0.25f;
    const LawCase cases[] = {
        {ClassicLaw::P, 50},     // e(k) kp
        {ClassicLaw::I, 20},     // ki area
        {ClassicLaw::PI, 20},    // 0 kp + ki area
        {ClassicLaw::PD, -125},  // 0 kp - kd 5 e(1)
        {ClassicLaw::PID, -105}, // ki area - kd 5 e(1)
    };
    for (const LawCase &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.law));
        EXPECT_EQ(ClassicController::increment(c.law, w, e, 0, kp, ki, kd), c.expected);
    }
}

// The proportional part of PI, PD and PID uses the previous error, P the
// current one.
TEST(ClassicController, ProportionalPartUsesTheRightError)
{
    const Integer current = 10, previous = 40;
    const ClassicWorking w = workingFor(current, previous);
    EXPECT_EQ(ClassicController::increment(ClassicLaw::P, w, current, previous, 1, 0, 0), 10);
    EXPECT_EQ(ClassicController::increment(ClassicLaw::PI, w, current, previous, 1, 0, 0), 40);
    EXPECT_EQ(ClassicController::increment(ClassicLaw::PD, w, current, previous, 1, 0, 0), 40);
    EXPECT_EQ(ClassicController::increment(ClassicLaw::PID, w, current, previous, 1, 0, 0), 40);
}

// Products and sums stay in extended precision: 0.1f is slightly above 0.1,
// so kd * -500 lies just below -50 and Int takes it down to -51. Rounding the
// product to a Single first would give -50.
TEST(ClassicController, ProductsAreNotRoundedBeforeInt)
{
    const ClassicWorking w = workingFor(100, 0);
    EXPECT_EQ(ClassicController::increment(ClassicLaw::PD, w, 100, 0, 0, 0, 0.1f), -51);
}

TEST(ClassicController, IntRoundsNegativeIncrementsDown)
{
    struct Case {
        Integer error;
        Extended expected;
    };
    const Case cases[] = {{1, 0}, {-1, -1}, {3, 1}, {-3, -2}, {0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.error.value());
        const ClassicWorking w = workingFor(c.error, c.error);
        EXPECT_EQ(ClassicController::increment(ClassicLaw::P, w, c.error, c.error, 0.5f, 0, 0), c.expected);
    }
}

// The same error on two cycles: no rate, and the area is T e.
TEST(ClassicController, IntegralWithConstantError)
{
    const ClassicWorking w = workingFor(40, 40);
    EXPECT_EQ(w.errorRate, 0.0f);
    EXPECT_EQ(w.negErrorRate, 0.0f);
    EXPECT_FLOAT_EQ(w.errorArea, 8.0f);
    EXPECT_EQ(ClassicController::increment(ClassicLaw::I, w, 40, 40, 0, 1.5f, 0), 12);
    EXPECT_EQ(ClassicController::increment(ClassicLaw::I, workingFor(-40, -40), -40, -40, 0, 1.5f, 0), -12);
}

TEST(ClassicController, ZeroGainsGiveNoIncrement)
{
    const Integer current = -737, previous = 1234;
    const ClassicWorking w = workingFor(current, previous);
    for (ClassicLaw law : {ClassicLaw::P, ClassicLaw::I, ClassicLaw::PI, ClassicLaw::PD, ClassicLaw::PID}) {
        SCOPED_TRACE(static_cast<int>(law));
        EXPECT_EQ(ClassicController::increment(law, w, current, previous, 0, 0, 0), 0);
    }
}

// A failing working-value statement leaves its value; the others still run
// from what errorRate holds.
TEST(ClassicController, FailedRateKeepsThePreviousRate)
{
    struct Case {
        const char *what;
        Integer current, previous;
        Single period;
        Single expectedArea;
    };
    const Case cases[] = {
        // 30000 - (-30000) overflows the Integer range
        {"overflow", 30000, -30000, kPeriod, 7.0f * 0.04f / 2 - 6000.0f},
        // a zero period divides by zero
        {"zero period", 50, 10, 0.0f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClassicWorking w;
        w.errorRate = 7;
        w.errorArea = 99;
        w.negErrorRate = 99;
        ClassicController::updateWorkingValues(w, c.current, c.previous, c.period);
        EXPECT_EQ(w.errorRate, 7.0f);
        EXPECT_FLOAT_EQ(w.errorArea, c.expectedArea);
        EXPECT_EQ(w.negErrorRate, -7.0f);
    }
}

// An increment far outside the Integer range is still returned as a whole
// number; the caller decides what to do with the sum.
TEST(ClassicController, LargeIncrementIsReturnedWhole)
{
    const ClassicWorking w = workingFor(32767, 0);
    const Extended inc = ClassicController::increment(ClassicLaw::P, w, 32767, 0, 5.0f, 0, 0);
    EXPECT_EQ(inc, 163835);
}

TEST(SimulatedPlant, OutputIsTheRoundedGainProduct)
{
    struct Case {
        Integer actuator;
        std::int32_t output;
    };
    const Case cases[] = {{1000, 1263}, {4095, 5172}, {0, 0}, {500, 632}, {684, 864}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.actuator.value());
        EXPECT_EQ(SimulatedPlant::output(c.actuator).value(), c.output);
    }
}

// A P loop against the simulated plant: reference 1000, actuator 0 at the
// start, kp 0.5. The plant answers one cycle late.
TEST(SimulatedPlant, ProportionalLoopFirstCycles)
{
    const Integer reference = 1000;
    Integer actuator = 0;
    Long held = 0; // the plant output held from the previous change
    Integer prevError = 0;
    ClassicWorking w;
    const Integer expectedY[] = {0, 632};
    const Integer expectedU[] = {500, 684};
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle);
        const Integer y = held.value();
        EXPECT_EQ(y, expectedY[cycle]);
        const Integer error = reference - y;
        ClassicController::updateWorkingValues(w, error, prevError, kPeriod);
        const Extended inc = ClassicController::increment(ClassicLaw::P, w, error, prevError, 0.5f, 0, 0);
        actuator = Integer::fromExtended(inc + actuator.ld());
        EXPECT_EQ(actuator, expectedU[cycle]);
        held = SimulatedPlant::output(actuator);
        prevError = error;
    }
}

// The parts add up to the increment for every law, including sums that
// sit just below a whole number; parts a law lacks are absent and 0.
TEST(ClassicController, PartsSumToTheIncrement)
{
    struct Case {
        Integer current, previous;
        Single kp, ki, kd;
    };
    const Case cases[] = {
        {100, 0, 0.5f, 2.0f, 0.25f},
        {10, 40, 1, 0, 0},
        {100, 0, 0, 0, 0.1f},
        {-3, -3, 0.5f, 1.5f, 0.05f},
        {-737, 1234, 0.123f, 0.456f, 0.0789f},
        {32767, 0, 5.0f, 0, 0},
    };
    struct Has {
        ClassicLaw law;
        bool p, i, d;
    };
    const Has laws[] = {{ClassicLaw::P, true, false, false},
                        {ClassicLaw::I, false, true, false},
                        {ClassicLaw::PI, true, true, false},
                        {ClassicLaw::PD, true, false, true},
                        {ClassicLaw::PID, true, true, true}};
    for (const Case &c : cases)
        for (const Has &l : laws) {
            SCOPED_TRACE(std::to_string(c.current.value()) + " law " + std::to_string(static_cast<int>(l.law)));
            const ClassicWorking w = workingFor(c.current, c.previous);
            const ClassicParts parts = ClassicController::parts(l.law, w, c.current, c.previous, c.kp, c.ki, c.kd);
            EXPECT_EQ(parts.hasP, l.p);
            EXPECT_EQ(parts.hasI, l.i);
            EXPECT_EQ(parts.hasD, l.d);
            if (!l.p) {
                EXPECT_EQ(parts.p, 0);
            }
            if (!l.i) {
                EXPECT_EQ(parts.i, 0);
            }
            if (!l.d) {
                EXPECT_EQ(parts.d, 0);
            }
            EXPECT_EQ(Int(parts.sum()),
                      ClassicController::increment(l.law, w, c.current, c.previous, c.kp, c.ki, c.kd));
        }
    // the P law takes e(k), the others e(k-1)
    const ClassicWorking w = workingFor(10, 40);
    EXPECT_EQ(ClassicController::parts(ClassicLaw::P, w, 10, 40, 1, 0, 0).p, 10);
    EXPECT_EQ(ClassicController::parts(ClassicLaw::PID, w, 10, 40, 1, 0, 0).p, 40);
}
