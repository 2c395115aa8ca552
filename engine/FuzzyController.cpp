#include "engine/FuzzyController.h"

#include "runtime/RuntimeError.h"

#include <algorithm>

namespace tervalo {

namespace {

// Cell index of the rule table by error row (NB at the top) and change column
// (NB at the left).
constexpr int kCellOf[7][7] = {
    {0, 1, 3, 4, 10, 11, 21},     {2, 5, 6, 12, 13, 22, 28},    {7, 8, 14, 15, 23, 29, 30},
    {9, 16, 17, 24, 31, 32, 39},  {18, 19, 25, 33, 34, 40, 41}, {20, 26, 35, 36, 42, 43, 46},
    {27, 37, 38, 44, 45, 47, 48},
};

struct CellPosition {
    int row[49];
    int column[49];
};

constexpr CellPosition makePositions()
{
    CellPosition p{};
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 7; ++c) {
            p.row[kCellOf[r][c]] = r;
            p.column[kCellOf[r][c]] = c;
        }
    }
    return p;
}

constexpr CellPosition kPosition = makePositions();

void checkSubscript(int index, int count)
{
    if (index < 0 || index >= count)
        raiseError(RuntimeError::SubscriptOutOfRange);
}

// Quotient of two whole numbers in double precision, as the "/" operator
// forms it; a zero divisor is error 11.
Double doubleQuotient(Extended dividend, Extended divisor)
{
    if (divisor == 0)
        raiseError(RuntimeError::DivisionByZero);
    return static_cast<Double>(dividend) / static_cast<Double>(divisor);
}

// k * Ru / 6 with k * Ru in Integer arithmetic, stored as a Single.
Single sixthOf(int k, Integer outputRange)
{
    return CSng(doubleQuotient((Integer(k) * outputRange).ld(), 6));
}

} // namespace

Integer FuzzyController::rangeFor(Integer controlReference, double divisor)
{
    return Integer::fromExtended(Int(divide(controlReference.ld(), divisor)));
}

double FuzzyController::breakpoint(int k, Integer range)
{
    return static_cast<double>(Int(doubleQuotient((Integer(k) * range).ld(), 6)));
}

Fuzzification FuzzyController::fuzzify(Integer x, Integer range)
{
    const Double xv = x.value();
    const auto B = [range](int k) { return breakpoint(k, range); };
    // 3x / R: 3x in Integer arithmetic, the division in double precision.
    const auto ratio = [x, range]() -> Extended { return doubleQuotient((Integer(3) * x).ld(), range.ld()); };

    // The segments are tested in this order and the first that holds applies.
    // A split breakpoint below zero belongs to the segment above it, one above
    // zero to the segment below it.
    Extended m1 = 1;
    int t1 = -1;
    int t2 = -1;
    if (x <= -range) {
        m1 = 1;
        t1 = NB;
        t2 = -1;
    } else if (x > -range && xv < B(-5)) {
        m1 = ratio() + 3;
        t1 = NM;
        t2 = NB;
    } else if (B(-5) <= xv && xv < B(-4)) {
        m1 = -ratio() - 2;
        t1 = NB;
        t2 = NM;
    } else if (xv == B(-4)) {
        m1 = 1;
        t1 = NM;
        t2 = -1;
    } else if (B(-4) < xv && xv < B(-3)) {
        m1 = ratio() + 2;
        t1 = NS;
        t2 = NM;
    } else if (B(-3) <= xv && xv < B(-2)) {
        m1 = -ratio() - 1;
        t1 = NM;
        t2 = NS;
    } else if (xv == B(-2)) {
        m1 = 1;
        t1 = NS;
        t2 = -1;
    } else if (B(-2) < xv && xv < B(-1)) {
        m1 = ratio() + 1;
        t1 = ZE;
        t2 = NS;
    } else if (B(-1) <= xv && x < 0) {
        m1 = -ratio();
        t1 = NS;
        t2 = ZE;
    } else if (x == 0) {
        m1 = 1;
        t1 = ZE;
        t2 = ZE;
    } else if (x > 0 && xv <= B(1)) {
        m1 = ratio();
        t1 = PS;
        t2 = ZE;
    } else if (B(1) < xv && xv < B(2)) {
        m1 = 1 - ratio();
        t1 = ZE;
        t2 = PS;
    } else if (xv == B(2)) {
        m1 = 1;
        t1 = PS;
        t2 = -1;
    } else if (B(2) < xv && xv <= B(3)) {
        m1 = ratio() - 1;
        t1 = PM;
        t2 = PS;
    } else if (B(3) < xv && xv < B(4)) {
        m1 = 2 - ratio();
        t1 = PS;
        t2 = PM;
    } else if (xv == B(4)) {
        m1 = 1;
        t1 = PM;
        t2 = -1;
    } else if (B(4) < xv && xv <= B(5)) {
        m1 = ratio() - 2;
        t1 = PB;
        t2 = PM;
    } else if (B(5) < xv && x < range) {
        m1 = 3 - ratio();
        t1 = PM;
        t2 = PB;
    } else {
        // x >= range: the segments above cover everything below it
        m1 = 1;
        t1 = PB;
        t2 = -1;
    }

    Fuzzification f;
    f.membership1 = CSng(m1);
    f.membership2 = CSng(1 - static_cast<Extended>(f.membership1));
    f.term1 = t1;
    f.term2 = t2;
    return f;
}

int FuzzyController::cellIndex(int errorRow, int deltaColumn)
{
    checkSubscript(errorRow, termCount);
    checkSubscript(deltaColumn, termCount);
    return kCellOf[errorRow][deltaColumn];
}

int FuzzyController::rowOf(int cell)
{
    checkSubscript(cell, cellCount);
    return kPosition.row[cell];
}

int FuzzyController::columnOf(int cell)
{
    checkSubscript(cell, cellCount);
    return kPosition.column[cell];
}

int FuzzyController::defaultListIndex(int cell)
{
    checkSubscript(cell, cellCount);
    if (cell <= 2)
        return 0;
    if (cell <= 9)
        return 1;
    if (cell <= 20)
        return 2;
    if (cell <= 27)
        return 3;
    if (cell <= 38)
        return 4;
    if (cell <= 45)
        return 5;
    return 6;
}

Single FuzzyController::centre(const std::string &ruleOutput, Integer outputRange,
                               const std::array<std::string, 7> &termNames)
{
    if (ruleOutput == termNames[NB])
        return CSng((-outputRange).ld());
    if (ruleOutput == termNames[NM])
        return sixthOf(-4, outputRange);
    if (ruleOutput == termNames[NS])
        return sixthOf(-2, outputRange);
    if (ruleOutput == termNames[ZE])
        return 0;
    if (ruleOutput == termNames[PS])
        return sixthOf(2, outputRange);
    if (ruleOutput == termNames[PM])
        return sixthOf(4, outputRange);
    if (ruleOutput == termNames[PB])
        return CSng(outputRange.ld());
    // the empty text and any text that is not a current term name
    return 0;
}

Integer FuzzyController::outputStep(const std::array<Single, 4> &weight, const std::array<Single, 4> &centre,
                                    Integer previousOutputDelta, Single *weightSum)
{
    const Single sum = CSng(static_cast<Extended>(weight[0]) + weight[1] + weight[2] + weight[3]);
    if (weightSum)
        *weightSum = sum;
    if (sum == 0)
        return previousOutputDelta;
    Extended numerator = 0;
    for (std::size_t r = 0; r < 4; ++r)
        numerator += static_cast<Extended>(weight[r]) * centre[r];
    // The quotient of two Singles rounded once to a Single.
    const Single average = CSng(divide(CSng(numerator), sum));
    return Integer::fromExtended(Int(average));
}

FuzzyResult FuzzyController::step(Integer error, Integer errorDelta, Integer errorRange, Integer deltaRange,
                                  Integer outputRange, const std::array<std::string, 49> &cellTexts,
                                  const std::array<std::string, 7> &termNames, Integer previousOutputDelta)
{
    return step(fuzzify(error, errorRange), fuzzify(errorDelta, deltaRange), outputRange, cellTexts, termNames,
                previousOutputDelta);
}

FuzzyResult FuzzyController::step(const Fuzzification &error, const Fuzzification &delta, Integer outputRange,
                                  const std::array<std::string, 49> &cellTexts,
                                  const std::array<std::string, 7> &termNames, Integer previousOutputDelta)
{
    FuzzyResult result;
    result.error = error;
    result.delta = delta;

    const std::string empty;
    const auto nameOf = [&](int term) -> const std::string & { return term < 0 ? empty : termNames[term]; };
    const std::string *errorTerms[2] = {&nameOf(result.error.term1), &nameOf(result.error.term2)};
    const std::string *deltaTerms[2] = {&nameOf(result.delta.term1), &nameOf(result.delta.term2)};

    // Rule matching in pair order (1,1), (1,2), (2,1), (2,2); an empty term
    // matches no cell and leaves its rule output empty. Each cell whose row
    // and column names equal the pair's names matches, and of several the
    // highest index is kept (as a pass over the cells in index order would
    // keep the last); the names are compared once per row and column rather
    // than once per cell.
    const auto matching = [&termNames](const std::string &name) {
        std::array<bool, termCount> m{};
        for (int t = 0; t < termCount; ++t)
            m[static_cast<std::size_t>(t)] = !name.empty() && name == termNames[static_cast<std::size_t>(t)];
        return m;
    };
    std::size_t k = 0;
    for (const std::string *errorTerm : errorTerms) {
        const std::array<bool, termCount> rows = matching(*errorTerm);
        for (const std::string *deltaTerm : deltaTerms) {
            const std::array<bool, termCount> columns = matching(*deltaTerm);
            int cell = -1;
            for (int r = 0; r < termCount; ++r)
                for (int c = 0; c < termCount; ++c)
                    if (rows[static_cast<std::size_t>(r)] && columns[static_cast<std::size_t>(c)])
                        cell = std::max(cell, kCellOf[r][c]);
            if (cell >= 0) {
                result.ruleCell[k] = cell;
                result.ruleOutput[k] = cellTexts[static_cast<std::size_t>(cell)];
            }
            ++k;
        }
    }

    // Minimum as AND.
    const Fuzzification &e = result.error;
    const Fuzzification &d = result.delta;
    result.weight = {std::min(e.membership1, d.membership1), std::min(e.membership1, d.membership2),
                     std::min(e.membership2, d.membership1), std::min(e.membership2, d.membership2)};

    for (std::size_t r = 0; r < 4; ++r)
        result.centre[r] = centre(result.ruleOutput[r], outputRange, termNames);

    result.outputDelta = outputStep(result.weight, result.centre, previousOutputDelta, &result.weightSum);
    return result;
}

} // namespace tervalo
