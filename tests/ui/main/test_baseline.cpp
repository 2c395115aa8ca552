// A baseline on the sweeping graph: a stored run's Y drawn cycle for cycle as
// the graph's third trace, in the graph's own third colour; without one the
// picture is the very one the graph always drew.
#include "ui/main/Form2Fixture.h"

#include "controls/common/OleColor.h"
#include "engine/RunRecord.h"

#include <QAction>
#include <QMenu>

#include <cmath>

using namespace tervalo;

namespace {

class BaselineTest : public Form2Fixture {
protected:
    // A P run in simulation at R = 1000: Y stays below 1000 and E falls from
    // 1000, so a baseline around 1300 crosses neither.
    void configure()
    {
        selectSimulation();
        form->selectController("P");
        form->setGainBar("Slider2", 500);
        form->setReference(1000);
    }

    QImage plainRun(int cycles)
    {
        configure();
        run(cycles);
        QImage picture = form->graphPicture().copy();
        makeForm(&port); // a fresh window for the run to compare with
        configure();
        return picture;
    }

    // The row of a value on the graph at R = 1000 (Ymax 1800, top 1800, zero line at row 196).
    static int rowOf(double v) { return static_cast<int>(std::nearbyint((1 - v / 1800) * 196)); }
    // The column of cycle k's sample (k from 1): the sweep starts at 1, steps 3.03 pixels.
    static int columnOf(int k) { return static_cast<int>(std::nearbyint(31 + 3.03 * (k - 1))); }

    QColor traceColour() { return OleColor::toQColor(ctl(*form).Mygraph1->GraphColor(3)); }
};

const std::vector<double> kBaseline = {1300, 1350, 1300, 1250, 1300};

} // namespace

TEST_F(BaselineTest, WithoutABaselineThePictureIsUntouched)
{
    const QImage plain = plainRun(12);
    form->lab().setBaseline(kBaseline, QStringLiteral("run 7"));
    EXPECT_TRUE(form->lab().hasBaseline());
    form->lab().clearBaseline();
    EXPECT_FALSE(form->lab().hasBaseline());
    run(12);
    EXPECT_TRUE(form->graphPicture() == plain);

    // an empty list pins nothing
    form->lab().setBaseline({});
    EXPECT_FALSE(form->lab().hasBaseline());
}

TEST_F(BaselineTest, TheBaselineIsTheThirdTraceCycleForCycle)
{
    struct Case {
        const char *name;
        bool pinBeforeStart;
        int pinAtCycle;     // 0: never during the run
        int unpinAtCycle;   // 0: never
        int lastDrawnCycle; // the last cycle drawn with the baseline; 0: none
    };
    const Case cases[] = {
        {"pinned before START: drawn to its last cycle, then Y and E alone", true, 0, 0, 5},
        {"unpinned during the run: the trace ends at once", true, 0, 3, 2},
        {"pinned during a run: drawn from the next START", false, 2, 0, 0},
    };
    const QImage plain = plainRun(12);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        makeForm(&port);
        configure();
        if (c.pinBeforeStart)
            form->lab().setBaseline(kBaseline);
        run(12, [&](int cycle) {
            if (cycle == c.pinAtCycle)
                form->lab().setBaseline(kBaseline);
            if (cycle == c.unpinAtCycle)
                form->lab().clearBaseline();
        });
        const QImage picture = form->graphPicture();
        ASSERT_EQ(picture.size(), plain.size());
        const QColor colour = traceColour();
        EXPECT_EQ(colour, QColor(192, 0, 0)); // the window's graph: its third trace is dark red

        // what differs from the plain run is the third trace alone, and only
        // up to the last cycle drawn with the baseline (a steep last segment
        // reaches that cycle's column)
        const int end = c.lastDrawnCycle > 0 ? columnOf(c.lastDrawnCycle) : 0;
        int differing = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (picture.pixel(x, y) != plain.pixel(x, y)) {
                    ++differing;
                    EXPECT_EQ(QColor(picture.pixel(x, y)), colour) << x << "," << y;
                    EXPECT_LE(x, end) << x << "," << y;
                }
        if (c.lastDrawnCycle == 0) {
            EXPECT_EQ(differing, 0);
            continue;
        }
        // the sweep's first point at the left edge, then each cycle's value
        EXPECT_EQ(QColor(picture.pixel(30, rowOf(kBaseline[0]))), colour);
        for (int k = 2; k < c.lastDrawnCycle; ++k)
            EXPECT_EQ(QColor(picture.pixel(columnOf(k), rowOf(kBaseline[static_cast<std::size_t>(k - 1)]))), colour)
                << "cycle " << k;
    }
}

TEST_F(BaselineTest, ABaselineStartsAgainWithEachRun)
{
    configure();
    form->lab().setBaseline(kBaseline);
    run(3);
    const QImage first = form->graphPicture().copy();
    run(3); // START clears the graph; the baseline is drawn from its first cycle again
    EXPECT_TRUE(form->graphPicture() == first);
    EXPECT_TRUE(form->lab().hasBaseline());
}

// A stored run pinned as the baseline: its output by cycle number, the same
// picture as the list of its values.
TEST_F(BaselineTest, AStoredRunPinnedDrawsItsOutputByCycle)
{
    configure();
    form->lab().setBaseline(kBaseline, QStringLiteral("list"));
    run(8);
    const QImage fromList = form->graphPicture().copy();

    makeForm(&port);
    configure();
    RunRecord stored(16);
    stored.start(RunSettings{});
    for (std::size_t k = 0; k < kBaseline.size(); ++k) {
        RunRow row;
        row.cycle = static_cast<std::int64_t>(k + 1);
        row.y = kBaseline[k];
        stored.append(row);
    }
    stored.stop();
    form->lab().setBaseline(stored, QStringLiteral("#7 P"));
    EXPECT_EQ(form->lab().baselineCycles(), kBaseline.size());
    EXPECT_EQ(form->lab().baselineName(), QStringLiteral("#7 P"));
    run(8);
    EXPECT_TRUE(form->graphPicture() == fromList);
}
