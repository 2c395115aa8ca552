#include "engine/PlantIdentification.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

namespace tervalo {

namespace {

// Dead times are tried on a grid of T / kDeadTimeSteps; the coarse pass takes
// every kCoarseStride-th of them.
constexpr int kDeadTimeSteps = 100;
constexpr int kCoarseStride = 10;
// Time constants: kTauScan log-spaced values from T / 1000 to the longest,
// then a golden-section refinement of kTauRefine steps between the
// neighbours of the best.
constexpr int kTauScan = 40;
constexpr int kTauRefine = 30;
// The most measurement noise (standard deviation around the window's trend)
// a steady speed may carry, as a share of the speed.
constexpr double kSteadyNoiseShare = 0.05;

std::string number(double v)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(4);
    out << v;
    return out.str();
}

// The samples to fit, with the mean taken out (y = mean + c + b h).
struct FitData {
    std::vector<double> before, after; // centred
    double mean = 0;
    double sumSquares = 0; // of the centred samples
    std::size_t count = 0;
};

struct Trial {
    double sse = 0;
    double b = 0, c = 0; // centred speed = c + b h
    double tau = 0;
    int deadSteps = 0;
};

// Least squares of y = c + b h(n) for one (tau, L); the samples before the
// step have h = 0.
Trial evaluate(const FitData &d, PlantModel &m, double tau, int deadSteps)
{
    m.timeConstant = tau;
    m.deadTime = deadSteps * m.period / kDeadTimeSteps;
    double sx = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < d.after.size(); ++i) {
        const double x = m.unitStep(static_cast<int>(i) + 1);
        sx += x;
        sxx += x * x;
        sxy += x * d.after[i];
    }
    const double n = static_cast<double>(d.count);
    Trial t;
    t.tau = tau;
    t.deadSteps = deadSteps;
    const double den = n * sxx - sx * sx;
    if (!(den > 1e-12 * n * n)) {
        // the step never shows in the samples: nothing but the mean
        t.sse = d.sumSquares;
        return t;
    }
    t.b = n * sxy / den;
    t.c = -t.b * sx / n;
    t.sse = std::max(0.0, d.sumSquares - t.b * sxy);
    return t;
}

// The best tau for one dead time: tau = 0, a log-spaced scan and a golden
// section on log tau around the best of the scan.
Trial bestTau(const FitData &d, PlantModel &m, int deadSteps, double tauMin, double tauMax)
{
    Trial best = evaluate(d, m, 0, deadSteps);
    const double logMin = std::log(tauMin), logMax = std::log(tauMax);
    const double stride = (logMax - logMin) / (kTauScan - 1);
    int bestIndex = -1;
    for (int k = 0; k < kTauScan; ++k) {
        const Trial t = evaluate(d, m, std::exp(logMin + k * stride), deadSteps);
        if (t.sse < best.sse) {
            best = t;
            bestIndex = k;
        }
    }
    if (bestIndex < 0)
        return best;
    double lo = logMin + std::max(0, bestIndex - 1) * stride;
    double hi = logMin + std::min(kTauScan - 1, bestIndex + 1) * stride;
    const double g = (std::sqrt(5.0) - 1) / 2;
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    Trial ta = evaluate(d, m, std::exp(a), deadSteps), tb = evaluate(d, m, std::exp(b), deadSteps);
    for (int i = 0; i < kTauRefine; ++i) {
        if (ta.sse < tb.sse) {
            hi = b;
            b = a;
            tb = ta;
            a = hi - g * (hi - lo);
            ta = evaluate(d, m, std::exp(a), deadSteps);
        } else {
            lo = a;
            a = b;
            ta = tb;
            b = lo + g * (hi - lo);
            tb = evaluate(d, m, std::exp(b), deadSteps);
        }
    }
    for (const Trial &t : {ta, tb})
        if (t.sse < best.sse)
            best = t;
    return best;
}

// Samples cannot always tell dead times apart; then the longer one is kept,
// so "not worse" wins for the later L.
bool notWorse(const Trial &candidate, const Trial &best)
{
    return candidate.sse <= best.sse * (1 + 1e-12) + 1e-300;
}

Identification refused(BumpStatus status, const std::string &reason)
{
    Identification r;
    r.status = status;
    r.reason = reason;
    return r;
}

} // namespace

const char *bumpStatusName(BumpStatus s)
{
    switch (s) {
    case BumpStatus::Holding: return "holding";
    case BumpStatus::Recording: return "recording";
    case BumpStatus::Fitted: return "fitted";
    case BumpStatus::NeverSettled: return "never_settled";
    case BumpStatus::StepTooSmall: return "step_too_small";
    case BumpStatus::Unfittable: return "unfittable";
    case BumpStatus::BadSettings: return "bad_settings";
    }
    return "";
}

Identification fitStepResponse(const StepResponse &response, const FitSettings &settings)
{
    const double T = settings.period;
    if (!(T > 0))
        return refused(BumpStatus::BadSettings, "the control period must be above 0");
    if (response.u1 == response.u2)
        return refused(BumpStatus::Unfittable, "U1 and U2 are equal: there is no step to fit");
    if (response.after.size() < 5 || response.before.empty())
        return refused(BumpStatus::Unfittable, "too few samples: at least one before the step and five after it");
    for (const std::vector<double> *v : {&response.before, &response.after})
        for (double y : *v)
            if (!std::isfinite(y))
                return refused(BumpStatus::Unfittable, "a recorded speed is not a number");

    FitData d;
    d.count = response.before.size() + response.after.size();
    for (double y : response.before)
        d.mean += y;
    for (double y : response.after)
        d.mean += y;
    d.mean /= static_cast<double>(d.count);
    for (double y : response.before) {
        d.before.push_back(y - d.mean);
        d.sumSquares += (y - d.mean) * (y - d.mean);
    }
    for (double y : response.after) {
        d.after.push_back(y - d.mean);
        d.sumSquares += (y - d.mean) * (y - d.mean);
    }

    PlantModel m;
    m.period = T;
    m.measurement = settings.measurement;
    const double recordSpan = static_cast<double>(response.after.size()) * T;
    const double tauMin = T / 1000;
    const double tauMax = std::max(5 * T, recordSpan);

    // The dead time leaves at least three samples of the response, and it
    // ends by the first of two samples in a row that have come a tenth of the
    // way (the change taken between the means of the samples before the step
    // and of the last ones).
    const int firstStep = settings.measurement == Measurement::Sample ? 1 : 0;
    double deadLimit = std::min(settings.deadTimeLimit, (static_cast<double>(response.after.size()) - 3) * T);
    {
        const std::size_t tail = std::min<std::size_t>(response.after.size(), 10);
        double base = 0, final = 0;
        for (double y : response.before)
            base += y;
        base /= static_cast<double>(response.before.size());
        for (std::size_t i = response.after.size() - tail; i < response.after.size(); ++i)
            final += response.after[i];
        final /= static_cast<double>(tail);
        // a tenth, and at least two counts, so that the counts' jitter before
        // the response does not pass for it
        const double change = final - base;
        const double reach = std::max(0.1 * std::fabs(change), 2.0 * settings.resolution);
        const auto past = [&](std::size_t i) {
            return change != 0 && (change > 0 ? 1 : -1) * (response.after[i] - base) >= reach;
        };
        for (std::size_t i = 0; i + 1 < response.after.size(); ++i)
            if (past(i) && past(i + 1)) {
                deadLimit = std::min(deadLimit, static_cast<double>(i + 1) * T);
                break;
            }
    }
    const int lastStep = std::max(firstStep, static_cast<int>(std::floor(deadLimit / T * kDeadTimeSteps + 1e-9)));

    Trial best;
    best.sse = HUGE_VAL;
    auto consider = [&](int steps) {
        const Trial t = bestTau(d, m, steps, tauMin, tauMax);
        if (notWorse(t, best))
            best = t;
    };
    consider(firstStep);
    for (int steps = kCoarseStride; steps <= lastStep; steps += kCoarseStride)
        if (steps > firstStep)
            consider(steps);
    const int centre = best.deadSteps;
    const Trial coarse = best;
    best.sse = HUGE_VAL;
    for (int steps = std::max(firstStep, centre - kCoarseStride); steps <= std::min(lastStep, centre + kCoarseStride);
         ++steps)
        consider(steps);
    if (coarse.sse < best.sse)
        best = coarse;

    Identification r;
    const double du = static_cast<double>(response.u2) - response.u1;
    m.timeConstant = best.tau;
    m.deadTime = best.deadSteps * T / kDeadTimeSteps;
    m.gain = best.b / du;
    m.offset = d.mean + best.c - m.gain * response.u1;
    r.model = m;
    r.rmse = std::sqrt(best.sse / static_cast<double>(d.count));
    r.change = best.b;

    const long long nb = static_cast<long long>(response.before.size());
    auto add = [&](long long n, double y) {
        const double model = m.offset + m.gain * (response.u1 + du * m.unitStep(static_cast<int>(n)));
        r.time.push_back(static_cast<double>(n) * T);
        r.measured.push_back(y);
        r.fitted.push_back(model);
        r.residual.push_back(y - model);
    };
    for (long long i = 0; i < nb; ++i)
        add(i - (nb - 1), response.before[static_cast<std::size_t>(i)]);
    for (std::size_t i = 0; i < response.after.size(); ++i)
        add(static_cast<long long>(i) + 1, response.after[i]);

    const double effect = std::fabs(best.b);
    if (!std::isfinite(m.gain) || !std::isfinite(m.offset) || !std::isfinite(r.rmse) || effect == 0) {
        r.status = BumpStatus::Unfittable;
        r.reason = "the step does not show in the recorded speed";
    } else if (m.gain <= 0) {
        r.status = BumpStatus::Unfittable;
        r.reason = "the speed moved against the step (a gain of " + number(m.gain) + " rpm per unit)";
    } else if (best.tau >= 0.95 * tauMax) {
        r.status = BumpStatus::Unfittable;
        r.reason = "the response is slower than the record of " + number(recordSpan) + " s";
    } else if (r.rmse > settings.poorFitShare * effect) {
        r.status = BumpStatus::Unfittable;
        r.reason = "the response is not that of a lag with dead time (rmse " + number(r.rmse)
            + " rpm against a change of " + number(effect) + " rpm)";
    } else {
        r.status = BumpStatus::Fitted;
    }
    return r;
}

// ---------------------------------------------------------------------------
// the bump test

BumpTest::BumpTest(const BumpTestSettings &settings) : s_(settings)
{
    actuator_ = std::clamp(s_.u1, std::min(s_.actuatorMin, s_.actuatorMax), std::max(s_.actuatorMin, s_.actuatorMax));
    response_.u1 = s_.u1;
    response_.u2 = s_.u2;
    const auto inRange = [&](int u) { return u >= s_.actuatorMin && u <= s_.actuatorMax; };
    std::string bad;
    if (s_.actuatorMin >= s_.actuatorMax)
        bad = "the actuator's minimum must lie below its maximum";
    else if (!inRange(s_.u1) || !inRange(s_.u2))
        bad = "U1 and U2 must lie within " + std::to_string(s_.actuatorMin) + ".." + std::to_string(s_.actuatorMax);
    else if (s_.u1 == s_.u2)
        bad = "U1 and U2 must differ";
    else if (s_.steadyCycles < 2 || s_.holdLimit < s_.steadyCycles || s_.recordLimit < s_.steadyCycles
             || s_.fit.resolution < 1 || !(s_.fit.period > 0))
        bad = "the test's cycle limits or resolution make no sense";
    if (!bad.empty()) {
        result_.status = BumpStatus::BadSettings;
        result_.reason = bad;
    }
}

double BumpTest::tailMean(const std::vector<double> &samples) const
{
    const std::size_t n = std::min(samples.size(), static_cast<std::size_t>(s_.steadyCycles));
    double sum = 0;
    for (std::size_t i = samples.size() - n; i < samples.size(); ++i)
        sum += samples[i];
    return n ? sum / static_cast<double>(n) : 0;
}

// The last steadyCycles samples spread over no more than the band; or, for
// a speed read with noise (the kit's count jitters with the length of each
// period), they show no trend over the window beyond the noise and the noise
// stays within a twentieth of the speed. A speed that swings by more than
// that is not steady.
bool BumpTest::steady(const std::vector<double> &samples) const
{
    const std::size_t w = static_cast<std::size_t>(s_.steadyCycles);
    if (samples.size() < w)
        return false;
    const auto first = samples.end() - static_cast<std::ptrdiff_t>(w);
    const auto [lo, hi] = std::minmax_element(first, samples.end());
    const double mean = tailMean(samples);
    const double band = s_.steadyBand > 0 ? s_.steadyBand : std::max(2.0 * s_.fit.resolution, 0.01 * std::fabs(mean));
    if (*hi - *lo <= band)
        return true;
    if (w < 3)
        return false;

    // least-squares line through the window: slope and residual spread
    const double n = static_cast<double>(w);
    const double xMean = (n - 1) / 2;
    double sxy = 0, sxx = 0;
    for (std::size_t i = 0; i < w; ++i) {
        const double dx = static_cast<double>(i) - xMean;
        sxy += dx * (first[static_cast<std::ptrdiff_t>(i)] - mean);
        sxx += dx * dx;
    }
    const double slope = sxy / sxx;
    double sse = 0;
    for (std::size_t i = 0; i < w; ++i) {
        const double r = first[static_cast<std::ptrdiff_t>(i)] - mean - slope * (static_cast<double>(i) - xMean);
        sse += r * r;
    }
    const double noise = std::sqrt(sse / (n - 2));
    if (noise > std::max(band, kSteadyNoiseShare * std::fabs(mean)))
        return false;
    return std::fabs(slope) * (n - 1) <= std::max(band, 2 * noise);
}

void BumpTest::refuse(BumpStatus status, const std::string &reason, bool suggest)
{
    result_ = Identification{};
    result_.status = status;
    result_.reason = reason;
    if (!response_.after.empty())
        result_.change = tailMean(response_.after) - tailMean(response_.before);
    if (!suggest)
        return;

    // A step that moves the speed by twice the visible amount: from the gain
    // the test saw if it saw one, else four times the step; at least twice it.
    const int du = s_.u2 - s_.u1;
    const double target = 2.0 * s_.visibleCounts * s_.fit.resolution;
    const double seenGain = std::fabs(result_.change) >= s_.fit.resolution ? std::fabs(result_.change / du) : 0;
    double needed = seenGain > 0 ? std::ceil(target / seenGain) : 4.0 * std::abs(du);
    needed = std::max(needed, 2.0 * std::abs(du));
    for (int direction : {du > 0 ? 1 : -1, du > 0 ? -1 : 1}) {
        const double u = std::clamp(s_.u1 + direction * needed, static_cast<double>(s_.actuatorMin),
                                    static_cast<double>(s_.actuatorMax));
        if (std::fabs(u - s_.u1) > std::abs(du)) {
            result_.suggestedU2 = static_cast<int>(u);
            return;
        }
    }
}

int BumpTest::cycle(double y)
{
    if (finished())
        return actuator_;
    ++cycles_;
    const double T = s_.fit.period;
    const int visible = s_.visibleCounts * s_.fit.resolution;

    if (status() == BumpStatus::Holding) {
        held_.push_back(y);
        if (steady(held_)) {
            response_.before.assign(held_.end() - s_.steadyCycles, held_.end());
            result_.status = BumpStatus::Recording;
            actuator_ = s_.u2;
        } else if (cycles_ >= s_.holdLimit) {
            refuse(BumpStatus::NeverSettled,
                   "the speed did not settle at U1 = " + std::to_string(s_.u1) + " within " + number(s_.holdLimit * T)
                       + " s",
                   false);
        }
        return actuator_;
    }

    response_.after.push_back(y);
    const std::size_t recorded = response_.after.size();
    const double change = tailMean(response_.after) - tailMean(response_.before);
    const bool moved = std::fabs(change) >= visible;
    const std::string tooSmall = "the step moved the speed by only " + number(std::fabs(change))
        + " rpm, too little to see over the count resolution of " + std::to_string(s_.fit.resolution)
        + " rpm; use a larger step";
    if (steady(response_.after)) {
        if (moved) {
            result_ = fitStepResponse(response_, s_.fit);
            return actuator_;
        }
        if (recorded >= static_cast<std::size_t>(s_.responseWait)) {
            refuse(BumpStatus::StepTooSmall, tooSmall, true);
            return actuator_;
        }
    }
    if (recorded >= static_cast<std::size_t>(s_.recordLimit)) {
        if (moved)
            refuse(BumpStatus::NeverSettled,
                   "the speed did not settle within " + number(s_.recordLimit * T)
                       + " s after the step; try a larger step",
                   true);
        else
            refuse(BumpStatus::StepTooSmall, tooSmall, true);
    }
    return actuator_;
}

} // namespace tervalo
