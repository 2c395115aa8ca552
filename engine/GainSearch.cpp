#include "engine/GainSearch.h"

#include "engine/ClassicPanels.h"

#include "runtime/Numeric.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

namespace tervalo {

namespace {

constexpr Single kSamplePeriod = 0.2f;
constexpr double kIntegerMax = 32767;

// Grids up to this size are run whole.
constexpr long long kWholeGrid = 50000;
// Points per gain of the first coarse grid, by the number of gains.
constexpr int kCoarsePoints2 = 64;
constexpr int kCoarsePoints3 = 24;
// Best points kept, of which up to kCentres far enough apart are refined,
// and the half width of a refinement in steps.
constexpr std::size_t kKept = 64;
constexpr std::size_t kCentres = 12;
constexpr int kRadius = 2;
constexpr int kPolishLimit = 200;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// One run of the law on the model, cycle by cycle as the control cycle does
// it. Stops early (returning false) once sum |E| x 0.2 exceeds bound.
bool simulate(const PlantModel &model, ClassicLaw law, SliderGains gains, const LoopSettings &loop, double bound,
              std::vector<StepSample> &rows)
{
    rows.clear();
    ModelPlant plant(model, loop.actuatorStart);
    const Single kp = gainOf(gains.kp), ki = gainOf(gains.ki), kd = gainOf(gains.kd);
    const double resolution = loop.resolution;
    const Integer reference = loop.reference;
    double u = loop.actuatorStart;
    double measured = 0; // START clears the output
    Integer prevError = 0;
    ClassicWorking w;
    double absSum = 0;

    for (int k = 1; k <= loop.cycles; ++k) {
        // the speed in whole counts; a count too large for an Integer leaves
        // the output as it was
        const double count = static_cast<double>(roundHalfEven(std::max(0.0, plant.measure()) / resolution));
        if (count * resolution <= kIntegerMax)
            measured = count * resolution;
        const Integer outputInt = static_cast<int>(measured);
        const Integer currentError = reference - outputInt;

        ClassicController::updateWorkingValues(w, currentError, prevError, kSamplePeriod);
        const Extended sum =
            ClassicController::increment(law, w, currentError, prevError, kp, ki, kd) + static_cast<Extended>(u);
        // The new value must convert to an Integer and lie within the
        // actuator's range; otherwise the actuator keeps its value.
        if (sum >= loop.actuatorMin && sum <= loop.actuatorMax)
            u = static_cast<double>(roundHalfEven(sum));
        plant.hold(u);
        prevError = currentError;

        const double e = loop.reference - measured;
        rows.push_back(StepSample{k / kCyclesPerSecond, static_cast<double>(loop.reference), measured, e, u});
        absSum += std::fabs(e);
        if (absSum / kCyclesPerSecond > bound)
            return false;
    }
    return true;
}

void checkLoop(const LoopSettings &loop)
{
    if (loop.cycles < 1 || loop.resolution < 1 || loop.actuatorMin < 0 || loop.actuatorMax > 4095
        || loop.actuatorMin >= loop.actuatorMax || loop.actuatorStart < loop.actuatorMin
        || loop.actuatorStart > loop.actuatorMax || loop.reference < 0 || loop.reference > 2000)
        throw std::invalid_argument("gain search: the run's settings make no sense (cycles at least 1, "
                                    "resolution at least 1, 0 <= minimum <= start <= maximum <= 4095, "
                                    "reference 0..2000)");
}

std::string number(double v)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << v;
    return out.str();
}

struct Scored {
    SliderGains gains;
    double iae = kInfinity;
};

class Search {
public:
    Search(const PlantModel &model, ClassicLaw law, const SearchSettings &s)
        : model_(model), law_(law), s_(s), ranges_(gainSliderRanges(law))
    {
        rows_.reserve(static_cast<std::size_t>(std::max(0, s.loop.cycles)));
    }

    // Runs one point unless it was run before; keeps the kKept best.
    void run(SliderGains g)
    {
        const long long key = (static_cast<long long>(g.kp) * 5001 + g.ki) * 101 + g.kd;
        if (!seen_.insert(key).second)
            return;
        ++runs_;
        const double bound = kept_.size() < kKept ? kInfinity : kept_.back().iae;
        if (!simulate(model_, law_, g, s_.loop, bound, rows_))
            return;
        const StepFigures f = computeStepFigures(rows_, s_.loop.actuatorMin, s_.loop.actuatorMax);
        const Figure &overshoot = f[Metric::Overshoot];
        const Figure &iae = f[Metric::Iae];
        if (!overshoot.available() || overshoot.value > s_.overshootLimit || !iae.available())
            return;
        if (kept_.size() == kKept && !(iae.value < kept_.back().iae))
            return;
        const Scored entry{g, iae.value};
        kept_.insert(std::upper_bound(kept_.begin(), kept_.end(), entry,
                                      [](const Scored &a, const Scored &b) { return a.iae < b.iae; }),
                     entry);
        if (kept_.size() > kKept)
            kept_.pop_back();
    }

    // Every point of the grid with the given spacing per gain (the maximum
    // always included).
    void grid(const int stride[3])
    {
        const int maxima[3] = {ranges_.kpMax, ranges_.kiMax, ranges_.kdMax};
        std::vector<int> values[3];
        for (int a = 0; a < 3; ++a) {
            for (int v = 0; v < maxima[a]; v += stride[a])
                values[a].push_back(v);
            values[a].push_back(maxima[a]);
        }
        for (int kp : values[0])
            for (int ki : values[1])
                for (int kd : values[2])
                    run({kp, ki, kd});
    }

    // The points around the best kept ones, radius steps of the given
    // spacing. A kept point within the reach of a better one already chosen
    // is passed over, so that the refinement follows several valleys rather
    // than the many points of one.
    void around(const int stride[3], int radius)
    {
        std::vector<SliderGains> centres;
        for (const Scored &k : kept_) {
            if (centres.size() == kCentres)
                break;
            const bool near = std::any_of(centres.begin(), centres.end(), [&](const SliderGains &c) {
                return std::abs(c.kp - k.gains.kp) <= 2 * radius * stride[0]
                    && std::abs(c.ki - k.gains.ki) <= 2 * radius * stride[1]
                    && std::abs(c.kd - k.gains.kd) <= 2 * radius * stride[2];
            });
            if (!near)
                centres.push_back(k.gains);
        }
        for (const SliderGains &c : centres)
            neighbourhood(c, stride, radius);
    }

    void neighbourhood(SliderGains c, const int stride[3], int radius)
    {
        const int maxima[3] = {ranges_.kpMax, ranges_.kiMax, ranges_.kdMax};
        const int centre[3] = {c.kp, c.ki, c.kd};
        int span[3];
        for (int a = 0; a < 3; ++a)
            span[a] = maxima[a] > 0 ? radius : 0;
        for (int i = -span[0]; i <= span[0]; ++i)
            for (int j = -span[1]; j <= span[1]; ++j)
                for (int k = -span[2]; k <= span[2]; ++k) {
                    const int v[3] = {centre[0] + i * stride[0], centre[1] + j * stride[1], centre[2] + k * stride[2]};
                    bool inside = true;
                    for (int a = 0; a < 3; ++a)
                        inside = inside && v[a] >= 0 && v[a] <= maxima[a];
                    if (inside)
                        run({v[0], v[1], v[2]});
                }
    }

    GainSuggestion best()
    {
        const long long size = (ranges_.kpMax + 1LL) * (ranges_.kiMax + 1LL) * (ranges_.kdMax + 1LL);
        const int maxima[3] = {ranges_.kpMax, ranges_.kiMax, ranges_.kdMax};
        if (size <= kWholeGrid) {
            const int one[3] = {1, 1, 1};
            grid(one);
        } else {
            int gains = 0;
            for (int m : maxima)
                gains += m > 0 ? 1 : 0;
            const int points = gains >= 3 ? kCoarsePoints3 : kCoarsePoints2;
            int stride[3];
            for (int a = 0; a < 3; ++a)
                stride[a] = std::max(1, (maxima[a] + points - 2) / (points - 1));
            grid(stride);
            while (stride[0] > 1 || stride[1] > 1 || stride[2] > 1) {
                for (int &st : stride)
                    st = std::max(1, (st + 1) / 2);
                around(stride, kRadius);
            }
            // a walk to the best neighbour one step away while it is better
            const int one[3] = {1, 1, 1};
            for (int i = 0; i < kPolishLimit && !kept_.empty(); ++i) {
                const SliderGains before = kept_.front().gains;
                neighbourhood(before, one, 1);
                if (kept_.front().gains == before)
                    break;
            }
        }

        GainSuggestion r;
        r.law = law_;
        r.runs = runs_;
        if (kept_.empty()) {
            r.reason =
                "no gains on the sliders keep the overshoot within " + number(s_.overshootLimit) + " % on this model";
            return r;
        }
        r.found = true;
        r.gains = kept_.front().gains;
        r.rows = runLaw(model_, law_, r.gains, s_.loop);
        r.figures = computeStepFigures(r.rows, s_.loop.actuatorMin, s_.loop.actuatorMax);
        return r;
    }

private:
    const PlantModel &model_;
    ClassicLaw law_;
    const SearchSettings &s_;
    GainSliderRanges ranges_;
    std::vector<StepSample> rows_;
    std::unordered_set<long long> seen_;
    std::vector<Scored> kept_; // ascending IAE
    long long runs_ = 0;
};

} // namespace

GainSliderRanges gainSliderRanges(ClassicLaw law)
{
    // The panel's own bars: the window's ranges are the search's ranges.
    const ClassicPanel &panel = ClassicPanels::of(law);
    GainSliderRanges r;
    for (std::size_t k = 0; k < panel.sliderCount; ++k) {
        const GainSlider &slider = panel.sliders[k];
        switch (slider.gain) {
        case Gain::Kp:
            r.kpMax = slider.max;
            r.usesKp = true;
            break;
        case Gain::Ki:
            r.kiMax = slider.max;
            r.usesKi = true;
            break;
        case Gain::Kd:
            r.kdMax = slider.max;
            r.usesKd = true;
            break;
        }
    }
    return r;
}

Single gainOf(int sliderValue)
{
    return CSng(static_cast<Extended>(sliderValue) / 1000);
}

std::vector<StepSample> runLaw(const PlantModel &model, ClassicLaw law, SliderGains gains, const LoopSettings &loop)
{
    checkLoop(loop);
    std::vector<StepSample> rows;
    rows.reserve(static_cast<std::size_t>(std::max(0, loop.cycles)));
    simulate(model, law, gains, loop, kInfinity, rows);
    return rows;
}

GainSuggestion suggestGains(const PlantModel &model, ClassicLaw law, const SearchSettings &settings)
{
    checkLoop(settings.loop);
    Search search(model, law, settings);
    return search.best();
}

} // namespace tervalo
