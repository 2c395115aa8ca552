#include "engine/FuzzyController.h"
#include "engine/FuzzySurface.h"
#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace tervalo;

namespace {

const std::array<std::string, 7> kEnglish = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};

std::array<std::string, 49> defaultCells()
{
    std::array<std::string, 49> cells;
    for (int i = 0; i < 49; ++i)
        cells[static_cast<std::size_t>(i)] = kEnglish[static_cast<std::size_t>(FuzzyController::defaultListIndex(i))];
    return cells;
}

// A table that tells the two axes apart: ZE everywhere but the error-PB /
// change-NB cell (PB) and the error-NB / change-PS cell (NM).
std::array<std::string, 49> lopsidedCells()
{
    std::array<std::string, 49> cells;
    cells.fill("ZE");
    cells[static_cast<std::size_t>(FuzzyController::cellIndex(6, 0))] = "PB";
    cells[static_cast<std::size_t>(FuzzyController::cellIndex(0, 4))] = "NM";
    return cells;
}

FuzzySurfaceSettings settings(const std::array<std::string, 49> &cells, int reference, int points,
                              double errorDivisor = 2, double outputDivisor = 10)
{
    FuzzySurfaceSettings s;
    s.cellTexts = cells;
    s.termNames = kEnglish;
    s.controlReference = reference;
    s.errorDivisor = errorDivisor;
    s.outputDivisor = outputDivisor;
    s.points = points;
    return s;
}

int grid(const std::vector<int> &axis, int value)
{
    for (std::size_t i = 0; i < axis.size(); ++i)
        if (axis[i] == value)
            return static_cast<int>(i);
    ADD_FAILURE() << value << " is not on the grid";
    return 0;
}

} // namespace

TEST(FuzzySurface, RangesAsTheWindowDerivesThem)
{
    const FuzzyRanges r = FuzzyRanges::of(1000, 3, 7);
    EXPECT_EQ(r.error, 1000);
    EXPECT_EQ(r.delta, 333); // Int(333.3)
    EXPECT_EQ(r.output, 142);
    EXPECT_THROW(FuzzyRanges::of(1000, 0, 10), RuntimeError);
}

// Every point is the controller's own dU at that (e, de). With R = 1200 and
// 121 points the grid steps by 20 in e and 10 in de, so the breakpoints
// (multiples of 200 and 100) lie on it; the lopsided table shows a swap of
// the axes.
TEST(FuzzySurface, PointsEqualTheControllersStep)
{
    const auto cells = lopsidedCells();
    const FuzzySurface s = FuzzySurface::compute(settings(cells, 1200, 121));
    ASSERT_EQ(s.points(), 121);
    ASSERT_EQ(s.ranges().delta, 600);
    ASSERT_EQ(s.ranges().output, 120);

    struct Point {
        int e, de;
        int expected; // dU worked out by hand, or INT_MIN: only compared with the step
    };
    const Point points[] = {
        {1200, -600, 120}, // corner: error PB, change NB -> PB = Ru
        {-1200, 600, 0},   // opposite corner: ZE
        {-1200, 200, -80}, // error NB, change PS (centre B(2)) -> NM = -4 Ru / 6
        {1200, 600, 0},    // corner
        {-1200, -600, 0},  // corner
        {0, 0, 0},         // all pairs fire cell 24
        {1000, -500, 30},  // split points B(5), B(-5): one of four equal weights on the PB cell
        {-800, 100, 0},    // B(-4) and B(1): error NM only, two rules fire
        {-1000, 200, -40}, // B(-5) and B(2)
        {400, -300, 0},    // B(2) and B(-3)
        {200, 500, 0},     // B(1) and B(5)
        {-1180, 190, INT_MIN},
        {1180, -590, INT_MIN},
        {-20, 10, INT_MIN},
    };
    const FuzzyRanges &r = s.ranges();
    for (const Point &p : points) {
        SCOPED_TRACE(std::to_string(p.e) + "," + std::to_string(p.de));
        const int i = grid(s.errors(), p.e);
        const int j = grid(s.deltas(), p.de);
        const Integer step =
            FuzzyController::step(p.e, p.de, r.error, r.delta, r.output, cells, kEnglish, 0).outputDelta;
        EXPECT_EQ(s.du(i, j), step.value());
        if (p.expected != INT_MIN) {
            EXPECT_EQ(s.du(i, j), p.expected);
        }
    }
    // and every breakpoint of both axes is a grid value
    for (int b : s.errorBreakpoints())
        grid(s.errors(), b);
    for (int b : s.deltaBreakpoints())
        grid(s.deltas(), b);
}

// The whole plane of a mixed table: texts of every term, a Turkish name (no
// current term: centre 0) and odd ranges (R = 1500, R' = 500, Ru = 214).
TEST(FuzzySurface, EveryPointOfAMixedTableEqualsTheStep)
{
    std::array<std::string, 49> cells;
    for (int i = 0; i < 49; ++i)
        cells[static_cast<std::size_t>(i)] = kEnglish[static_cast<std::size_t>((i * 5 + 3) % 7)];
    cells[17] = "NO";
    const FuzzySurface s = FuzzySurface::compute(settings(cells, 1500, 61, 3, 7));
    const FuzzyRanges &r = s.ranges();
    ASSERT_EQ(r.output, 214);
    for (int i = 0; i < s.points(); ++i)
        for (int j = 0; j < s.points(); ++j)
            ASSERT_EQ(s.du(i, j),
                      FuzzyController::step(s.errorAt(i), s.deltaAt(j), r.error, r.delta, r.output, cells, kEnglish, 0)
                          .outputDelta.value())
                << s.errorAt(i) << "," << s.deltaAt(j);
}

TEST(FuzzySurface, GridSpansTheSetsSymmetrically)
{
    const FuzzySurface s = FuzzySurface::compute(settings(defaultCells(), 1000, 201, 3, 10));
    ASSERT_EQ(s.ranges().delta, 333);
    EXPECT_EQ(s.errorAt(0), -1000);
    EXPECT_EQ(s.errorAt(200), 1000);
    EXPECT_EQ(s.errorAt(100), 0);
    EXPECT_EQ(s.deltaAt(0), -333);
    EXPECT_EQ(s.deltaAt(200), 333);
    for (int i = 0; i < 201; ++i) {
        EXPECT_EQ(s.deltaAt(i), -s.deltaAt(200 - i));
        if (i > 0) {
            EXPECT_GE(s.deltaAt(i), s.deltaAt(i - 1));
        }
    }
    // default table: NB at the lower left, PB at the upper right
    EXPECT_EQ(s.du(0, 0), -100);
    EXPECT_EQ(s.du(200, 200), 100);
    EXPECT_EQ(s.minimum(), -100);
    EXPECT_EQ(s.maximum(), 100);
}

TEST(FuzzySurface, BreakpointsAreTheControllersOwn)
{
    const std::array<int, 13> expected = {-1000, -834, -667, -500, -334, -167, 0, 166, 333, 500, 666, 833, 1000};
    EXPECT_EQ(FuzzySurface::breakpoints(1000), expected);
}

TEST(FuzzySurface, CsvHasOneLinePerPoint)
{
    const FuzzySurface s = FuzzySurface::compute(settings(lopsidedCells(), 1200, 3));
    EXPECT_EQ(s.csv(),
              "e,de,du\n"
              "-1200,-600,0\n-1200,0,0\n-1200,600,0\n"
              "0,-600,0\n0,0,0\n0,600,0\n"
              "1200,-600,120\n1200,0,0\n1200,600,0\n");

    const FuzzySurface big = FuzzySurface::compute(settings(defaultCells(), 1000, 201));
    std::istringstream lines(big.csv());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        ASSERT_EQ(line.find('.'), std::string::npos);
    }
    EXPECT_EQ(count, 201 * 201 + 1);
}

TEST(FuzzySurface, RefusesGridsItCannotForm)
{
    EXPECT_THROW(FuzzySurface::compute(settings(defaultCells(), 1000, 1)), std::invalid_argument);
    EXPECT_THROW(FuzzySurface::compute(settings(defaultCells(), 0, 201)), std::invalid_argument);
    EXPECT_THROW(FuzzySurface::compute(settings(defaultCells(), 1000, 201, 2000)), std::invalid_argument);
    EXPECT_THROW(FuzzySurface::compute(settings(defaultCells(), 1000, 201, 0)), RuntimeError);
}
