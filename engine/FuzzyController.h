#pragma once
// The fuzzy controller of the control cycle: the error e(k) and its change
// de(k) are fuzzified over seven triangular sets each (NB, NM, NS, ZE, PS, PM,
// PB), the four rules they fire are looked up in the 7 x 7 rule table, the
// rules are combined with min weights and the weighted average of the output
// set centres gives the output step dU.

#include "runtime/Integer.h"
#include "runtime/Numeric.h"

#include <array>
#include <string>

namespace tervalo {

// The two sets a value falls into. Term index 0..6 = NB..PB; -1 is the empty
// term (the value sits exactly on a set centre other than zero, or beyond the
// outer centres). membership2 is always 1 - membership1.
struct Fuzzification {
    Single membership1 = 0, membership2 = 0;
    int term1 = -1, term2 = -1;
};

struct FuzzyResult {
    Fuzzification error, delta;
    std::array<int, 4> ruleCell{-1, -1, -1, -1}; // cell fired by pair (1,1),(1,2),(2,1),(2,2); -1 none
    std::array<std::string, 4> ruleOutput;       // the fired cells' texts ("" when none)
    std::array<Single, 4> weight{}, centre{};
    Single weightSum = 0;
    Integer outputDelta = 0; // dU; the previous one when the weight sum is 0
};

class FuzzyController {
public:
    enum Term { NB = 0, NM, NS, ZE, PS, PM, PB };
    static constexpr int termCount = 7;
    static constexpr int cellCount = 49;

    // The range of the error change's or the output step's sets for a divisor:
    // Int(reference / divisor) as an Integer (RuntimeError 6 when it does not
    // fit, 11 for a divisor of 0).
    static Integer rangeFor(Integer controlReference, double divisor);

    // Breakpoint B(k) = Int(k R / 6) for k = -5..5: k R in Integer arithmetic,
    // the division in double precision.
    static double breakpoint(int k, Integer range);

    // The two sets x falls into over -range..range. Raises RuntimeError as the
    // arithmetic does (6 when a breakpoint product overflows, i.e. |range| > 6553
    // for a value above -range).
    static Fuzzification fuzzify(Integer x, Integer range);

    // Rule table layout: error term row 0..6 and change term column 0..6 to
    // the cell index 0..48, and back. Out of range raises error 9.
    static int cellIndex(int errorRow, int deltaColumn);
    static int rowOf(int cell);
    static int columnOf(int cell);

    // List index 0..6 of the output term a cell holds in the default table.
    static int defaultListIndex(int cell);

    // Centre of an output set by its name: NB -> -Ru, NM -> -4Ru/6, NS -> -2Ru/6,
    // ZE -> 0, PS -> 2Ru/6, PM -> 4Ru/6, PB -> Ru (k Ru in Integer, / 6 in
    // double, stored as Single); the empty text or any other text -> 0.
    static Single centre(const std::string &ruleOutput, Integer outputRange,
                         const std::array<std::string, 7> &termNames);

    // dU from four rule weights and centres: Int(numerator / S) with the
    // numerator summed in extended precision and stored as a Single and the
    // quotient in single precision; S = 0 keeps previousOutputDelta.
    static Integer outputStep(const std::array<Single, 4> &weight, const std::array<Single, 4> &centre,
                              Integer previousOutputDelta, Single *weightSum = nullptr);

    // One controller step. cellTexts are the texts of the 49 rule cells,
    // termNames the seven term names of the current language.
    static FuzzyResult step(Integer error, Integer errorDelta, Integer errorRange, Integer deltaRange,
                            Integer outputRange, const std::array<std::string, 49> &cellTexts,
                            const std::array<std::string, 7> &termNames, Integer previousOutputDelta);

    // The same step from the two fuzzifications (fuzzify(e, R), fuzzify(de, R')):
    // rule matching, weights, centres and dU. The step above is this one on
    // its fuzzified inputs; a caller that needs many steps over few distinct
    // e and de values fuzzifies each value once.
    static FuzzyResult step(const Fuzzification &error, const Fuzzification &delta, Integer outputRange,
                            const std::array<std::string, 49> &cellTexts, const std::array<std::string, 7> &termNames,
                            Integer previousOutputDelta);
};

} // namespace tervalo
