#include "engine/PlotThinning.h"

#include <gtest/gtest.h>

using namespace tervalo;

TEST(PlotThinning, StrideIsThePowerOfTwoThatKeepsTheBuckets)
{
    struct Case {
        std::size_t rows, buckets, stride;
    };
    for (const Case &c : {Case{0, 1000, 1}, Case{1000, 1000, 1}, Case{1001, 1000, 2}, Case{4000, 1000, 4},
                          Case{4001, 1000, 8}, Case{72000, 1000, 128}})
        EXPECT_EQ(plotStride(c.rows, c.buckets), c.stride) << c.rows;
}

TEST(PlotThinning, EachBucketGivesItsLowAndHighInTimeOrder)
{
    // buckets of four rows: a peak inside a bucket survives
    const double v[] = {0, 5, 1, 2, /**/ 3, 3, -4, 3, /**/ 7};
    ThinnedTrace trace;
    for (int k = 0; k < 9; ++k) {
        trace.add(k, v[k]);
        if ((k + 1) % 4 == 0)
            trace.close();
    }
    const std::vector<PlotPoint> done{{0, 0}, {1, 5}, {4, 3}, {6, -4}};
    EXPECT_EQ(trace.done(), done);
    // the open bucket reaches the newest row
    std::vector<PlotPoint> shown = trace.done();
    trace.appendOpen(shown);
    EXPECT_EQ(shown.back(), (PlotPoint{8, 7}));
    EXPECT_EQ(shown.size(), 5u);

    // a bucket that closed without its last row showing it: the newest is added
    ThinnedTrace flat;
    for (int k = 0; k < 4; ++k)
        flat.add(k, 1);
    flat.close();
    std::vector<PlotPoint> f = flat.done();
    ASSERT_EQ(f.size(), 1u); // low and high are the first row
    flat.appendOpen(f);
    EXPECT_EQ(f.back(), (PlotPoint{3, 1}));
}

TEST(PlotThinning, SaturatedStretchesBridgeGapsShorterThanABucket)
{
    SaturatedStretches s(0.1);
    // rows 0-2 at a limit, 4 (a gap of one row, bridged with stride 2), then 9
    const bool at[] = {true, true, true, false, true, false, false, false, false, true};
    for (int k = 0; k < 10; ++k)
        s.add(k, 0.2 * k, at[k], 2);
    ASSERT_EQ(s.spans().size(), 2u);
    EXPECT_DOUBLE_EQ(s.spans()[0].from, -0.1);
    EXPECT_DOUBLE_EQ(s.spans()[0].to, 0.9);
    EXPECT_DOUBLE_EQ(s.spans()[1].from, 1.7);
    EXPECT_DOUBLE_EQ(s.spans()[1].to, 1.9);
    EXPECT_EQ(s.lastSaturated(), 9);
    s.clear();
    EXPECT_TRUE(s.spans().empty());
    EXPECT_EQ(s.lastSaturated(), -1);
}

TEST(PlotThinning, TicksAtRoundSteps)
{
    struct Case {
        double span;
        double step;
    };
    for (const Case &c : {Case{2000, 500}, Case{2, 0.5}, Case{20, 5}, Case{1200, 250}, Case{3000, 1000}, Case{7, 2},
                          Case{0.09, 0.02}, Case{100, 20}, Case{0, 1}})
        EXPECT_DOUBLE_EQ(niceTickStep(c.span), c.step) << c.span;
}
