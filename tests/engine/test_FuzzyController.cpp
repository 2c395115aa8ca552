#include "engine/FuzzyController.h"

#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace tervalo;
using Term = FuzzyController::Term;

namespace {

using Names = std::array<std::string, 7>;
using Cells = std::array<std::string, 49>;

const Names kEnglish = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};
const Names kTurkish = {"NB", "NO", "NK", "SS", "PK", "PO", "PB"};

Cells defaultCells(const Names &names)
{
    Cells cells;
    for (int i = 0; i < 49; ++i)
        cells[i] = names[FuzzyController::defaultListIndex(i)];
    return cells;
}

int errorNumber(void (*f)())
{
    try {
        f();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(FuzzyBreakpoints, RoundDownFromTheDoubleQuotient)
{
    const int expected[] = {-834, -667, -500, -334, -167, 0, 166, 333, 500, 666, 833};
    for (int k = -5; k <= 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(FuzzyController::breakpoint(k, 1000), expected[k + 5]);
    }
}

// Every segment for R = 1000, with the split breakpoints on the side they
// belong to: below zero the segment above, above zero the segment below.
TEST(FuzzyFuzzify, SegmentsAndBreakpointOwnership)
{
    struct Case {
        int x;
        float membership1;
        int term1, term2;
    };
    const Case cases[] = {
        {-2000, 1, Term::NB, -1},
        {-1000, 1, Term::NB, -1},
        {-999, 0.003f, Term::NM, Term::NB},
        {-900, 0.3f, Term::NM, Term::NB},
        {-835, 0.495f, Term::NM, Term::NB},
        {-834, 0.502f, Term::NB, Term::NM}, // B(-5) belongs above
        {-700, 0.1f, Term::NB, Term::NM},
        {-667, 1, Term::NM, -1}, // B(-4): on the centre
        {-666, 0.002f, Term::NS, Term::NM},
        {-600, 0.2f, Term::NS, Term::NM},
        {-500, 0.5f, Term::NM, Term::NS}, // B(-3) belongs above
        {-400, 0.2f, Term::NM, Term::NS},
        {-334, 1, Term::NS, -1}, // B(-2)
        {-333, 0.001f, Term::ZE, Term::NS},
        {-168, 0.496f, Term::ZE, Term::NS},
        {-167, 0.501f, Term::NS, Term::ZE}, // B(-1) belongs above
        {-1, 0.003f, Term::NS, Term::ZE},
        {0, 1, Term::ZE, Term::ZE},
        {1, 0.003f, Term::PS, Term::ZE},
        {166, 0.498f, Term::PS, Term::ZE}, // B(1) belongs below
        {167, 0.499f, Term::ZE, Term::PS},
        {333, 1, Term::PS, -1}, // B(2)
        {334, 0.002f, Term::PM, Term::PS},
        {500, 0.5f, Term::PM, Term::PS}, // B(3) belongs below
        {501, 0.497f, Term::PS, Term::PM},
        {666, 1, Term::PM, -1}, // B(4)
        {667, 0.001f, Term::PB, Term::PM},
        {833, 0.499f, Term::PB, Term::PM}, // B(5) belongs below
        {834, 0.498f, Term::PM, Term::PB},
        {999, 0.003f, Term::PM, Term::PB},
        {1000, 1, Term::PB, -1},
        {2000, 1, Term::PB, -1},
        {-32768, 1, Term::NB, -1},
        {32767, 1, Term::PB, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x);
        const Fuzzification f = FuzzyController::fuzzify(c.x, 1000);
        EXPECT_NEAR(f.membership1, c.membership1, 1e-6);
        EXPECT_EQ(f.membership2, 1.0f - f.membership1);
        EXPECT_EQ(f.term1, c.term1);
        EXPECT_EQ(f.term2, c.term2);
    }
}

// Over every value around the range, for ranges large and small: the
// memberships stay within 0..1 and add up to 1, and term 1 is never empty.
TEST(FuzzyFuzzify, MembershipsStayWithinTheUnitInterval)
{
    for (int range : {1, 2, 3, 5, 6, 7, 11, 100, 999, 1000, 2000}) {
        for (int x = -range - 3; x <= range + 3; ++x) {
            const Fuzzification f = FuzzyController::fuzzify(x, range);
            ASSERT_GE(f.membership1, 0.0f) << "range " << range << " x " << x;
            ASSERT_LE(f.membership1, 1.0f) << "range " << range << " x " << x;
            ASSERT_EQ(f.membership1 + f.membership2, 1.0f) << "range " << range << " x " << x;
            ASSERT_GE(f.term1, 0) << "range " << range << " x " << x;
        }
    }
}

// A range of 0 forms no quotient: every value saturates at an outer set.
TEST(FuzzyFuzzify, ZeroRangeSaturates)
{
    EXPECT_EQ(FuzzyController::fuzzify(0, 0).term1, Term::NB);
    EXPECT_EQ(FuzzyController::fuzzify(-5, 0).term1, Term::NB);
    const Fuzzification f = FuzzyController::fuzzify(5, 0);
    EXPECT_EQ(f.term1, Term::PB);
    EXPECT_EQ(f.term2, -1);
    EXPECT_EQ(f.membership1, 1.0f);
}

TEST(FuzzyFuzzify, BreakpointProductOverflowRaises)
{
    // 5 x 7000 is outside the Integer range
    EXPECT_EQ(errorNumber([] { FuzzyController::fuzzify(100, 7000); }), RuntimeError::Overflow);
    EXPECT_EQ(errorNumber([] { FuzzyController::breakpoint(5, 7000); }), RuntimeError::Overflow);
}

TEST(FuzzyRuleTable, IndexMap)
{
    const int map[7][7] = {
        {0, 1, 3, 4, 10, 11, 21},     {2, 5, 6, 12, 13, 22, 28},    {7, 8, 14, 15, 23, 29, 30},
        {9, 16, 17, 24, 31, 32, 39},  {18, 19, 25, 33, 34, 40, 41}, {20, 26, 35, 36, 42, 43, 46},
        {27, 37, 38, 44, 45, 47, 48},
    };
    std::set<int> seen;
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 7; ++c) {
            const int cell = FuzzyController::cellIndex(r, c);
            EXPECT_EQ(cell, map[r][c]) << r << "," << c;
            EXPECT_EQ(FuzzyController::rowOf(cell), r);
            EXPECT_EQ(FuzzyController::columnOf(cell), c);
            seen.insert(cell);
        }
    }
    EXPECT_EQ(seen.size(), 49u);
}

// Row + column bands 0-1, 2-3, 4-5, 6, 7-8, 9-10, 11-12 carry one output
// term each in the default table.
TEST(FuzzyRuleTable, DefaultTable)
{
    const char *rows[7][7] = {
        {"NB", "NB", "NM", "NM", "NS", "NS", "ZE"}, {"NB", "NM", "NM", "NS", "NS", "ZE", "PS"},
        {"NM", "NM", "NS", "NS", "ZE", "PS", "PS"}, {"NM", "NS", "NS", "ZE", "PS", "PS", "PM"},
        {"NS", "NS", "ZE", "PS", "PS", "PM", "PM"}, {"NS", "ZE", "PS", "PS", "PM", "PM", "PB"},
        {"ZE", "PS", "PS", "PM", "PM", "PB", "PB"},
    };
    const int bandOfSum[13] = {0, 0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 7; ++c) {
            const int listIndex = FuzzyController::defaultListIndex(FuzzyController::cellIndex(r, c));
            EXPECT_EQ(kEnglish[listIndex], rows[r][c]) << r << "," << c;
            EXPECT_EQ(listIndex, bandOfSum[r + c]) << r << "," << c;
        }
    }
}

TEST(FuzzyRuleTable, OutOfRangeSubscriptsRaise)
{
    EXPECT_EQ(errorNumber([] { FuzzyController::cellIndex(7, 0); }), RuntimeError::SubscriptOutOfRange);
    EXPECT_EQ(errorNumber([] { FuzzyController::cellIndex(0, -1); }), RuntimeError::SubscriptOutOfRange);
    EXPECT_EQ(errorNumber([] { FuzzyController::rowOf(49); }), RuntimeError::SubscriptOutOfRange);
    EXPECT_EQ(errorNumber([] { FuzzyController::columnOf(-1); }), RuntimeError::SubscriptOutOfRange);
    EXPECT_EQ(errorNumber([] { FuzzyController::defaultListIndex(49); }), RuntimeError::SubscriptOutOfRange);
}

// Default divisors with reference 1000 give Ru = 100; the centres keep
// their fractions.
TEST(FuzzyCentre, CentresOfTheOutputSets)
{
    const float expected[7] = {-100.0f, static_cast<float>(-400.0 / 6), static_cast<float>(-200.0 / 6),
                               0.0f,    static_cast<float>(200.0 / 6),  static_cast<float>(400.0 / 6),
                               100.0f};
    for (int t = 0; t < 7; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(FuzzyController::centre(kEnglish[t], 100, kEnglish), expected[t]);
        EXPECT_EQ(FuzzyController::centre(kTurkish[t], 100, kTurkish), expected[t]);
    }
    EXPECT_NE(FuzzyController::centre("NM", 100, kEnglish), -67.0f);
    EXPECT_NE(FuzzyController::centre("NM", 100, kEnglish), -66.0f);
}

TEST(FuzzyCentre, TextThatIsNoTermIsZero)
{
    EXPECT_EQ(FuzzyController::centre("", 100, kEnglish), 0.0f);
    EXPECT_EQ(FuzzyController::centre("XX", 100, kEnglish), 0.0f);
    EXPECT_EQ(FuzzyController::centre("nm", 100, kEnglish), 0.0f); // exact, case-sensitive
    EXPECT_EQ(FuzzyController::centre("NM", 100, kTurkish), 0.0f); // the other language's name
}

TEST(FuzzyStep, ZeroErrorAndChangeFireTheCentreCellOnly)
{
    Cells cells = defaultCells(kEnglish);
    cells[24] = "PS";
    const FuzzyResult r = FuzzyController::step(0, 0, 1000, 500, 100, cells, kEnglish, 7);
    EXPECT_EQ(r.error.term1, Term::ZE);
    EXPECT_EQ(r.error.term2, Term::ZE);
    EXPECT_EQ(r.delta.term1, Term::ZE);
    EXPECT_EQ(r.delta.term2, Term::ZE);
    EXPECT_EQ(r.ruleCell, (std::array<int, 4>{24, 24, 24, 24}));
    EXPECT_EQ(r.weight, (std::array<Single, 4>{1, 0, 0, 0}));
    EXPECT_EQ(r.weightSum, 1.0f);
    EXPECT_EQ(r.outputDelta, 33); // Int(200 / 6)
}

// e on the NM centre: the empty second error term fires no rule.
TEST(FuzzyStep, ValueOnACentreFiresTwoRules)
{
    const FuzzyResult r = FuzzyController::step(-667, 100, 1000, 500, 100, defaultCells(kEnglish), kEnglish, 7);
    EXPECT_EQ(r.error.term2, -1);
    EXPECT_EQ(r.ruleCell, (std::array<int, 4>{12, 13, -1, -1})); // (NM, ZE), (NM, PS)
    EXPECT_EQ(r.ruleOutput, (std::array<std::string, 4>{"NS", "NS", "", ""}));
    EXPECT_NEAR(r.weight[0], 0.4f, 1e-6);
    EXPECT_NEAR(r.weight[1], 0.6f, 1e-6);
    EXPECT_EQ(r.weight[2], 0.0f);
    EXPECT_EQ(r.weight[3], 0.0f);
    EXPECT_EQ(r.centre[2], 0.0f);
    EXPECT_EQ(r.centre[3], 0.0f);
    EXPECT_EQ(r.outputDelta, -34); // Int(-200 / 6)
}

// Four distinct rules of the default table, in the same way in both
// languages.
TEST(FuzzyStep, FourRulesWeightedAverage)
{
    for (const Names *names : {&kEnglish, &kTurkish}) {
        const FuzzyResult r = FuzzyController::step(300, -100, 1000, 500, 100, defaultCells(*names), *names, 7);
        // e: ZE 0.1 / PS 0.9; de: ZE 0.4 / NS 0.6
        EXPECT_EQ(r.ruleCell, (std::array<int, 4>{24, 17, 33, 25}));
        EXPECT_EQ(r.ruleOutput[0], (*names)[Term::ZE]);
        EXPECT_EQ(r.ruleOutput[1], (*names)[Term::NS]);
        EXPECT_EQ(r.ruleOutput[2], (*names)[Term::PS]);
        EXPECT_EQ(r.ruleOutput[3], (*names)[Term::ZE]);
        EXPECT_NEAR(r.weightSum, 1.2f, 1e-6);
        EXPECT_EQ(r.outputDelta, 8); // Int(10 / 1.2)
    }
}

// A cell whose text is not a current term name counts with its full weight
// and a centre of 0: (100 * 0.5 + 0 * 0.5) / 1.
TEST(FuzzyStep, UnknownCellTextCountsWithCentreZero)
{
    Cells cells = defaultCells(kEnglish);
    cells[12] = "PB"; // (NM, ZE)
    cells[15] = "NO"; // (NS, ZE): a Turkish name while the terms are English
    const FuzzyResult r = FuzzyController::step(-500, 0, 1000, 500, 100, cells, kEnglish, 7);
    EXPECT_EQ(r.ruleCell[0], 12);
    EXPECT_EQ(r.ruleCell[2], 15);
    EXPECT_EQ(r.weight[2], 0.5f);
    EXPECT_EQ(r.centre[2], 0.0f);
    EXPECT_EQ(r.outputDelta, 50);
}

// Term names that are not distinct: every cell whose row and column names
// equal the pair's names matches, and the one of highest index is the rule.
TEST(FuzzyStep, EqualTermNamesFireTheHighestMatchingCell)
{
    Cells cells;
    for (int i = 0; i < 49; ++i)
        cells[static_cast<std::size_t>(i)] = "C" + std::to_string(i);
    const Names allSame = {"X", "X", "X", "X", "X", "X", "X"};
    EXPECT_EQ(FuzzyController::step(0, 0, 1000, 500, 100, cells, allSame, 7).ruleCell,
              (std::array<int, 4>{48, 48, 48, 48}));
    // NB and NS share a name: the error NB (rows 0 and 2) with the change PS
    // (column 4, on its centre 166) matches cells 10 and 23
    const Names twins = {"A", "NM", "A", "ZE", "PS", "PM", "PB"};
    const FuzzyResult r = FuzzyController::step(-1000, 166, 1000, 500, 100, cells, twins, 7);
    EXPECT_EQ(r.ruleCell[0], 23);
    EXPECT_EQ(r.ruleOutput[0], "C23");
}

// Int rounds the weighted average toward minus infinity: with Ru = 3 the NS
// and PS centres are -1 and 1, and half weight on each of (NM, ZE) and
// (NS, ZE) averages them with a ZE centre.
TEST(FuzzyStep, HalfAveragesRoundDown)
{
    struct Case {
        const char *cell12;
        int expected;
    };
    for (const Case &c : {Case{"NS", -1}, Case{"PS", 0}}) {
        SCOPED_TRACE(c.cell12);
        Cells cells = defaultCells(kEnglish);
        cells[12] = c.cell12;
        cells[15] = "ZE";
        const FuzzyResult r = FuzzyController::step(-500, 0, 1000, 500, 3, cells, kEnglish, 7);
        EXPECT_EQ(r.outputDelta, c.expected);
    }
}

TEST(FuzzyOutputStep, ZeroWeightSumKeepsThePreviousStep)
{
    Single sum = -1;
    const Integer dU = FuzzyController::outputStep({0, 0, 0, 0}, {100, -100, 5, 5}, -20, &sum);
    EXPECT_EQ(dU, -20);
    EXPECT_EQ(sum, 0.0f);
}

TEST(FuzzyOutputStep, WeightedAverage)
{
    EXPECT_EQ(FuzzyController::outputStep({1, 0, 0, 0}, {-0.5f, 0, 0, 0}, 9), -1);
    EXPECT_EQ(FuzzyController::outputStep({1, 0, 0, 0}, {0.5f, 0, 0, 0}, 9), 0);
    EXPECT_EQ(FuzzyController::outputStep({0.25f, 0.25f, 0.25f, 0.25f}, {-100, -100, 100, 40}, 9), -15);
    // the sum is not 1: the average divides by it
    EXPECT_EQ(FuzzyController::outputStep({0.5f, 0.5f, 0.5f, 0.5f}, {100, 100, 100, 100}, 9), 100);
}
