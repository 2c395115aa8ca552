#pragma once
// The figures of a step response and of the control effort, computed from the
// rows of a run. With t = time_s of a row, y0 = Y of the first row, yf = the
// mean Y of the last 10 rows, delta = yf - y0 and the band yf +- 0.02 |delta|:
//  - the response has settled when each of the last 10 rows lies in the
//    band; only then is yf its final value. Otherwise every figure measured
//    against yf (rise time, overshoot, settling time, steady-state error) is
//    not available, "not settled";
//  - rise time: from the first time Y reaches y0 + 0.1 delta to the first time
//    it reaches y0 + 0.9 delta, each time interpolated linearly between the
//    two rows around the crossing;
//  - peak: the largest Y (the smallest when delta < 0) and the t of its first
//    row, given whether settled or not; overshoot = 100 (peak - yf) / delta
//    percent, at least 0;
//  - settling time: the interpolated time at which Y enters the band for the
//    last time (between the last row outside the band and the next one); the
//    t of the first row if no row is outside;
//  - steady-state error = reference of the last row - yf;
//  - IAE = sum |E| x 0.2, ISE = sum E^2 x 0.2 over all rows;
//  - actuator: largest U, the share of rows with U at the actuator's minimum
//    or maximum in percent, and the travel sum |U(k) - U(k-1)|.
// A figure that cannot be had is marked not available with its reason; it
// never reads 0.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace tervalo {

// The values of one control cycle a figure is computed from.
struct StepSample {
    double time_s = 0;
    double reference = 0;
    double y = 0;
    double e = 0;
    double u = 0;
};

// The figures in the order they are listed everywhere (summary lines, the
// run window, the report).
enum class Metric {
    RiseTime,
    Peak,
    PeakTime,
    Overshoot,
    SettlingTime,
    SteadyStateError,
    Iae,
    Ise,
    ActuatorMax,
    SaturatedPct,
    ActuatorTravel,
};

struct MetricInfo {
    Metric metric;
    const char *key; // machine name: "rise_time_s", ...
};

constexpr std::size_t kMetricCount = 11;

// The one list of figures and their machine names.
extern const std::array<MetricInfo, kMetricCount> kMetrics;

const char *metricKey(Metric m);

// Why a figure is not available.
enum class FigureReason {
    None,       // the figure is available
    NoRows,     // the run has no rows
    TooFewRows, // fewer than 10 rows: no final value
    NoChange,   // delta = 0: the output did not move
    NoCrossing, // Y never reaches y0 + 0.1 delta or y0 + 0.9 delta (only
                // with values that are not numbers: a row of the last
                // ten always lies at or beyond yf)
    NotSettled, // a row of the last ten lies outside the band around their mean
};

// The reason in English ("fewer than 10 rows", ...); windows translate it.
const char *reasonText(FigureReason r);

struct Figure {
    double value = 0;
    FigureReason reason = FigureReason::NoRows;

    bool available() const { return reason == FigureReason::None; }
    static Figure of(double v) { return {v, FigureReason::None}; }
    static Figure missing(FigureReason r) { return {0, r}; }
};

struct StepFigures {
    std::array<Figure, kMetricCount> figures{};

    const Figure &operator[](Metric m) const { return figures[static_cast<std::size_t>(m)]; }
    Figure &operator[](Metric m) { return figures[static_cast<std::size_t>(m)]; }
};

// Rows needed for the final value yf.
constexpr std::size_t kFinalRows = 10;
// Half width of the settling band as a share of |delta|.
constexpr double kSettlingBand = 0.02;
// Control cycles per second (the cycle period is 0.2 s).
constexpr double kCyclesPerSecond = 5;

// Figures of count rows; uMin and uMax are the actuator's limits.
StepFigures computeStepFigures(const StepSample *rows, std::size_t count, double uMin, double uMax);
inline StepFigures computeStepFigures(const std::vector<StepSample> &rows, double uMin, double uMax)
{
    return computeStepFigures(rows.data(), rows.size(), uMin, uMax);
}

// A run of rows [begin, end) that share one reference.
struct Stretch {
    std::size_t begin = 0, end = 0;
    double reference = 0;
};

// The stretches of constant reference, in order; none for no rows.
std::vector<Stretch> constantReferenceStretches(const StepSample *rows, std::size_t count);
// The stretches between events, in order: a new one begins at every change
// of the reference and at each row index in breaks (where a load change
// first acts), so that no stretch holds the response to a later event.
std::vector<Stretch> eventStretches(const StepSample *rows, std::size_t count, const std::vector<std::size_t> &breaks);

// The shortest decimal text that reads back as the same double, with '.'
// whatever the locale ("0.6", "1000", "-2.5", "1e+22"); -0 is written "0",
// NaN (a value a row does not have) as the empty text.
std::string shortestDecimal(double v);

// shortestDecimal of an available figure; "n/a (not settled)" for a response
// that has not settled, "n/a" for any other reason.
std::string figureText(const Figure &f);

// One "metric,value" line per figure in the order of kMetrics, each ended by
// '\n' ("rise_time_s,1.234\n", "settling_time_s,n/a\n").
std::string summaryLines(const StepFigures &f);

} // namespace tervalo
