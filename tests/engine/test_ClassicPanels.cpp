// A gain and its bar's value: the steps of 0.001, and values no bar holds
// (huge, negative, NaN) read without overflow, so that every reader
// refuses them alike.
#include "engine/ClassicPanels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using tervalo::ClassicPanels;

TEST(ClassicPanels, GainsAndTheirBarsValues)
{
    struct Case {
        double gain;
        int bar;                  // toBar
        std::optional<int> steps; // onBarSteps
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {0.5, 500, 500},
        {1.2, 1200, 1200},
        {0.0005, 1, std::nullopt}, // between two steps
        {0.1 + 0.2, 300, 300},     // a step, give or take the last bit
        {-0.25, -250, -250},
        {1e300, std::numeric_limits<int>::max(), std::nullopt},
        {-1e300, std::numeric_limits<int>::min(), std::nullopt},
        {nan, std::numeric_limits<int>::max(), std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ClassicPanels::toBar(c.gain), c.bar) << c.gain;
        EXPECT_EQ(ClassicPanels::onBarSteps(c.gain), c.steps) << c.gain;
    }
    EXPECT_DOUBLE_EQ(ClassicPanels::fromBar(1234), 1.234);
}
