#pragma once
// The fuzzy control surface: the output step dU the fuzzy controller gives
// over the whole (e, de) plane for one rule table, one pair of divisors and
// one control reference. Every value is FuzzyController::step's own dU at
// that (e, de), so the surface shows exactly what the controller does.
//
//   FuzzySurface s = FuzzySurface::compute(settings);      // 201 x 201
//   s.du(i, j)   dU at e = s.errorAt(i), de = s.deltaAt(j)
//   s.csv()      "e,de,du" lines

#include "engine/RunRecord.h"
#include "runtime/Integer.h"

#include <array>
#include <string>
#include <vector>

namespace tervalo {

// The three ranges of the fuzzy sets as the window derives them from the
// reference and the two divisor sliders: the error spans -R..R with
// R = controlReference, the error change -R'..R' with R' = Int(R / errorDivisor),
// the output step -Ru..Ru with Ru = Int(R / outputDivisor). A zero divisor is
// error 11, a range outside the Integer range error 6 (RuntimeError).
struct FuzzyRanges {
    Integer error, delta, output;

    static FuzzyRanges of(Integer controlReference, double errorDivisor, double outputDivisor);
};

struct FuzzySurfaceSettings {
    std::array<std::string, 49> cellTexts; // texts of the 49 rule cells
    std::array<std::string, 7> termNames;  // NB..PB in the current language
    Integer controlReference = 1000;
    double errorDivisor = 2;   // Slider9
    double outputDivisor = 10; // Slider10
    int points = 201;          // grid points along each axis, at least 2

    // The surface of a set-up: its rule texts, term names, reference and divisors.
    static FuzzySurfaceSettings of(const RunSettings &setUp, int points = 201);
};

class FuzzySurface {
public:
    // The grid spans the sets' full range on both axes: e from -R to R and de
    // from -R' to R' in points - 1 equal steps, each grid value rounded to the
    // nearest whole number (the controller's inputs are whole numbers). Each
    // point is an independent controller step whose previous dU is 0 (the
    // previous dU only shows when all weights are 0, which the sets never
    // give). Throws std::invalid_argument for fewer than 2 points or a range
    // that is not in 1..6553 (beyond it the breakpoints overflow), and
    // RuntimeError as FuzzyRanges::of does.
    static FuzzySurface compute(const FuzzySurfaceSettings &settings);

    int points() const { return points_; }
    const FuzzyRanges &ranges() const { return ranges_; }

    int errorAt(int i) const { return errors_[static_cast<std::size_t>(i)]; }
    int deltaAt(int j) const { return deltas_[static_cast<std::size_t>(j)]; }
    const std::vector<int> &errors() const { return errors_; }
    const std::vector<int> &deltas() const { return deltas_; }

    // dU at (errorAt(i), deltaAt(j)); i along e, j along de.
    int du(int i, int j) const
    {
        return du_[static_cast<std::size_t>(i) * deltas_.size() + static_cast<std::size_t>(j)];
    }
    int minimum() const { return min_; }
    int maximum() const { return max_; }

    // Grid lines of an axis with range R: -R, B(-5) .. B(5), R (13 values,
    // ascending). Even positions are the set centres as the controller places
    // them (-R, B(-4), B(-2), 0, B(2), B(4), R), odd positions the split points
    // B(-5), B(-3), B(-1), B(1), B(3), B(5) where the two fired sets change.
    static std::array<int, 13> breakpoints(Integer range);
    std::array<int, 13> errorBreakpoints() const { return breakpoints(ranges_.error); }
    std::array<int, 13> deltaBreakpoints() const { return breakpoints(ranges_.delta); }

    // "e,de,du" header and one line per point, e in the outer order, "\n"
    // line ends; whole numbers only, so no decimal separator ever appears
    // whatever the locale. Saving it (atomically) is the caller's.
    std::string csv() const;

private:
    int points_ = 0;
    FuzzyRanges ranges_{};
    std::vector<int> errors_, deltas_, du_;
    int min_ = 0, max_ = 0;
};

} // namespace tervalo
