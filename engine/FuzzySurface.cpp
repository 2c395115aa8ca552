#include "engine/FuzzySurface.h"

#include "engine/FuzzyController.h"
#include "runtime/Numeric.h"

#include <algorithm>
#include <stdexcept>

namespace tervalo {

namespace {

// Beyond this range 5 R no longer fits an Integer and the breakpoints cannot
// be formed.
constexpr int kLargestRange = 6553;

void checkRange(Integer range, const char *what)
{
    if (range.value() < 1 || range.value() > kLargestRange)
        throw std::invalid_argument(std::string("fuzzy surface: the ") + what + " range "
                                    + std::to_string(range.value()) + " is not in 1.." + std::to_string(kLargestRange));
}

// points values from -range to range in equal steps, each rounded to the
// nearest whole number; the numerator is whole, so the grid is symmetric.
std::vector<int> axis(Integer range, int points)
{
    std::vector<int> v(static_cast<std::size_t>(points));
    const long long last = points - 1;
    for (int i = 0; i < points; ++i) {
        const long long numerator = static_cast<long long>(range.value()) * (2LL * i - last);
        v[static_cast<std::size_t>(i)] =
            static_cast<int>(roundHalfEven(static_cast<Extended>(numerator) / static_cast<Extended>(last)));
    }
    return v;
}

} // namespace

FuzzyRanges FuzzyRanges::of(Integer controlReference, double errorDivisor, double outputDivisor)
{
    FuzzyRanges r;
    r.error = controlReference;
    r.delta = FuzzyController::rangeFor(controlReference, errorDivisor);
    r.output = FuzzyController::rangeFor(controlReference, outputDivisor);
    return r;
}

FuzzySurfaceSettings FuzzySurfaceSettings::of(const RunSettings &setUp, int points)
{
    FuzzySurfaceSettings s;
    s.cellTexts = setUp.rules;
    s.termNames = setUp.termNames;
    s.controlReference = setUp.reference;
    s.errorDivisor = setUp.errorDivisor;
    s.outputDivisor = setUp.outputDivisor;
    s.points = points;
    return s;
}

FuzzySurface FuzzySurface::compute(const FuzzySurfaceSettings &settings)
{
    if (settings.points < 2)
        throw std::invalid_argument("fuzzy surface: at least 2 points along each axis");
    FuzzySurface s;
    s.points_ = settings.points;
    s.ranges_ = FuzzyRanges::of(settings.controlReference, settings.errorDivisor, settings.outputDivisor);
    checkRange(s.ranges_.error, "error");
    checkRange(s.ranges_.delta, "error change");
    s.errors_ = axis(s.ranges_.error, settings.points);
    s.deltas_ = axis(s.ranges_.delta, settings.points);
    s.du_.resize(s.errors_.size() * s.deltas_.size());

    // The controller's step at every point; each axis value is fuzzified
    // once, as the step would fuzzify it.
    std::vector<Fuzzification> deltaSets;
    deltaSets.reserve(s.deltas_.size());
    for (int de : s.deltas_)
        deltaSets.push_back(FuzzyController::fuzzify(de, s.ranges_.delta));
    std::size_t k = 0;
    for (int e : s.errors_) {
        const Fuzzification errorSets = FuzzyController::fuzzify(e, s.ranges_.error);
        for (const Fuzzification &d : deltaSets) {
            const FuzzyResult r =
                FuzzyController::step(errorSets, d, s.ranges_.output, settings.cellTexts, settings.termNames, 0);
            s.du_[k++] = r.outputDelta.value();
        }
    }
    const auto [lo, hi] = std::minmax_element(s.du_.begin(), s.du_.end());
    s.min_ = *lo;
    s.max_ = *hi;
    return s;
}

std::array<int, 13> FuzzySurface::breakpoints(Integer range)
{
    std::array<int, 13> b{};
    b[0] = -range.value();
    for (int k = -5; k <= 5; ++k)
        b[static_cast<std::size_t>(k + 6)] = static_cast<int>(FuzzyController::breakpoint(k, range));
    b[12] = range.value();
    return b;
}

std::string FuzzySurface::csv() const
{
    std::string out;
    out.reserve(16 + du_.size() * 16);
    out += "e,de,du\n";
    std::size_t k = 0;
    for (int e : errors_) {
        const std::string prefix = std::to_string(e) + ',';
        for (int de : deltas_) {
            out += prefix;
            out += std::to_string(de);
            out += ',';
            out += std::to_string(du_[k++]);
            out += '\n';
        }
    }
    return out;
}

} // namespace tervalo
