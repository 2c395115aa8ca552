#include "engine/StepFigures.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tervalo {

const std::array<MetricInfo, kMetricCount> kMetrics = {{
    {Metric::RiseTime, "rise_time_s"},
    {Metric::Peak, "peak"},
    {Metric::PeakTime, "peak_time_s"},
    {Metric::Overshoot, "overshoot_pct"},
    {Metric::SettlingTime, "settling_time_s"},
    {Metric::SteadyStateError, "steady_state_error"},
    {Metric::Iae, "iae"},
    {Metric::Ise, "ise"},
    {Metric::ActuatorMax, "actuator_max"},
    {Metric::SaturatedPct, "saturated_pct"},
    {Metric::ActuatorTravel, "actuator_travel"},
}};

const char *metricKey(Metric m)
{
    return kMetrics[static_cast<std::size_t>(m)].key;
}

const char *reasonText(FigureReason r)
{
    switch (r) {
    case FigureReason::None: return "";
    case FigureReason::NoRows: return "no rows";
    case FigureReason::TooFewRows: return "fewer than 10 rows";
    case FigureReason::NoChange: return "the output did not change";
    case FigureReason::NoCrossing: return "the output never crosses 10 % and 90 % of its change";
    case FigureReason::NotSettled: return "not settled";
    }
    return "";
}

namespace {

// Whether y has reached level, going the way of delta.
bool reached(double y, double level, double delta)
{
    return delta > 0 ? y >= level : y <= level;
}

// The time at which the straight line from row a to row b passes level.
double crossing(const StepSample &a, const StepSample &b, double level)
{
    if (b.y == a.y)
        return b.time_s;
    return a.time_s + (level - a.y) / (b.y - a.y) * (b.time_s - a.time_s);
}

// Index of the first row that has reached level, count if none.
std::size_t firstReaching(const StepSample *rows, std::size_t count, double level, double delta)
{
    for (std::size_t k = 0; k < count; ++k)
        if (reached(rows[k].y, level, delta))
            return k;
    return count;
}

void stepResponse(StepFigures &f, const StepSample *rows, std::size_t count)
{
    const double y0 = rows[0].y;
    double sum = 0;
    for (std::size_t k = count - kFinalRows; k < count; ++k)
        sum += rows[k].y;
    const double yf = sum / static_cast<double>(kFinalRows);
    const double delta = yf - y0;
    const double band = kSettlingBand * std::fabs(delta);

    // the peak: largest Y, smallest when the response goes down
    std::size_t peak = 0;
    for (std::size_t k = 1; k < count; ++k)
        if (delta < 0 ? rows[k].y < rows[peak].y : rows[k].y > rows[peak].y)
            peak = k;
    f[Metric::Peak] = Figure::of(rows[peak].y);
    f[Metric::PeakTime] = Figure::of(rows[peak].time_s);

    // yf is a final value only when the rows it is the mean of lie in the
    // band around it; otherwise nothing can be measured against it
    bool settled = true;
    for (std::size_t k = count - kFinalRows; k < count; ++k)
        if (!(std::fabs(rows[k].y - yf) <= band))
            settled = false;
    if (!settled) {
        for (Metric m : {Metric::RiseTime, Metric::Overshoot, Metric::SettlingTime, Metric::SteadyStateError})
            f[m] = Figure::missing(FigureReason::NotSettled);
        return;
    }

    f[Metric::SteadyStateError] = Figure::of(rows[count - 1].reference - yf);

    if (delta == 0) {
        for (Metric m : {Metric::RiseTime, Metric::Overshoot, Metric::SettlingTime})
            f[m] = Figure::missing(FigureReason::NoChange);
        return;
    }

    f[Metric::Overshoot] = Figure::of(std::max(0.0, 100 * (rows[peak].y - yf) / delta));

    // Row 0 holds y0 itself, so a crossing lies between two rows.
    const double low = y0 + 0.1 * delta, high = y0 + 0.9 * delta;
    const std::size_t kLow = firstReaching(rows, count, low, delta);
    const std::size_t kHigh = firstReaching(rows, count, high, delta);
    if (kLow == 0 || kLow == count || kHigh == 0 || kHigh == count)
        f[Metric::RiseTime] = Figure::missing(FigureReason::NoCrossing);
    else
        f[Metric::RiseTime] =
            Figure::of(crossing(rows[kHigh - 1], rows[kHigh], high) - crossing(rows[kLow - 1], rows[kLow], low));

    // the last ten rows lie in the band: the last row outside is earlier
    std::size_t outside = count;
    for (std::size_t k = count - kFinalRows; k-- > 0;)
        if (std::fabs(rows[k].y - yf) > band) {
            outside = k;
            break;
        }
    if (outside == count)
        f[Metric::SettlingTime] = Figure::of(rows[0].time_s);
    else {
        const double edge = rows[outside].y > yf ? yf + band : yf - band;
        f[Metric::SettlingTime] = Figure::of(crossing(rows[outside], rows[outside + 1], edge));
    }
}

} // namespace

StepFigures computeStepFigures(const StepSample *rows, std::size_t count, double uMin, double uMax)
{
    StepFigures f;
    if (count == 0)
        return f; // every figure: no rows

    if (count < kFinalRows)
        for (Metric m : {Metric::RiseTime, Metric::Peak, Metric::PeakTime, Metric::Overshoot, Metric::SettlingTime,
                         Metric::SteadyStateError})
            f[m] = Figure::missing(FigureReason::TooFewRows);
    else
        stepResponse(f, rows, count);

    // Sums of whole errors are exact; dividing by 5 instead of multiplying
    // by 0.2 gives the double nearest the true area (3 x 0.2 is not 0.6).
    double absSum = 0, squareSum = 0, uMax_ = rows[0].u, travel = 0;
    std::size_t saturated = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const StepSample &r = rows[k];
        absSum += std::fabs(r.e);
        squareSum += r.e * r.e;
        uMax_ = std::max(uMax_, r.u);
        if (r.u <= uMin || r.u >= uMax)
            ++saturated;
        if (k > 0)
            travel += std::fabs(r.u - rows[k - 1].u);
    }
    f[Metric::Iae] = Figure::of(absSum / kCyclesPerSecond);
    f[Metric::Ise] = Figure::of(squareSum / kCyclesPerSecond);
    f[Metric::ActuatorMax] = Figure::of(uMax_);
    f[Metric::SaturatedPct] = Figure::of(100.0 * static_cast<double>(saturated) / static_cast<double>(count));
    f[Metric::ActuatorTravel] = Figure::of(travel);
    return f;
}

std::vector<Stretch> constantReferenceStretches(const StepSample *rows, std::size_t count)
{
    std::vector<Stretch> out;
    for (std::size_t k = 0; k < count; ++k)
        if (out.empty() || rows[k].reference != out.back().reference)
            out.push_back({k, k + 1, rows[k].reference});
        else
            out.back().end = k + 1;
    return out;
}

std::vector<Stretch> eventStretches(const StepSample *rows, std::size_t count, const std::vector<std::size_t> &breaks)
{
    std::vector<Stretch> out;
    for (std::size_t k = 0; k < count; ++k) {
        const bool loadMoved = std::find(breaks.begin(), breaks.end(), k) != breaks.end();
        if (out.empty() || rows[k].reference != out.back().reference || loadMoved)
            out.push_back({k, k + 1, rows[k].reference});
        else
            out.back().end = k + 1;
    }
    return out;
}

std::string shortestDecimal(double v)
{
    if (std::isnan(v))
        return {};
    if (v == 0)
        return "0"; // also -0
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string figureText(const Figure &f)
{
    if (f.available())
        return shortestDecimal(f.value);
    return f.reason == FigureReason::NotSettled ? "n/a (not settled)" : "n/a";
}

std::string summaryLines(const StepFigures &f)
{
    std::string out;
    for (const MetricInfo &m : kMetrics) {
        out += m.key;
        out += ',';
        out += figureText(f[m.metric]);
        out += '\n';
    }
    return out;
}

} // namespace tervalo
