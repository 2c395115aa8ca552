#include "engine/TuningPlan.h"

#include "engine/SessionLimits.h"
#include "engine/SimulatedPlant.h"

#include <algorithm>
#include <cmath>

namespace tervalo {

namespace {

constexpr int kBumpStep = 100;

// The smallest actuator value whose steady speed reaches the reference.
int reaching(int reference, int lo, const std::function<double(int)> &speed)
{
    for (int u = lo; u <= SessionLimits::kActuatorMax; ++u)
        if (speed(u) >= reference)
            return u;
    return SessionLimits::kActuatorMax;
}

} // namespace

FitSettings fitSettingsFor(bool kit)
{
    FitSettings fit;
    fit.measurement = kit ? Measurement::PeriodMean : Measurement::Sample;
    fit.resolution = kit ? 5 : 1;
    return fit;
}

TuningPlan planTuning(const TuningSetUp &s)
{
    const int lo = SessionLimits::actuatorMin(s.kit);
    const int hi = SessionLimits::kActuatorMax;
    TuningPlan plan;
    if (s.model && s.model->gain > 0) {
        const double u = (s.reference - s.model->offset) / s.model->gain;
        plan.operatingPoint = std::isfinite(u) ? std::clamp(static_cast<int>(std::lround(u)), lo, hi) : lo;
    } else {
        const std::function<double(int)> simulated = [](int u) {
            return static_cast<double>(SimulatedPlant::output(Integer::fromExtended(u)).value());
        };
        plan.operatingPoint = reaching(s.reference, lo, s.steadySpeed ? s.steadySpeed : simulated);
    }
    // a step of kBumpStep to each side, kept within the actuator's range, so
    // that the model is fitted where the loop will work
    const int c = plan.operatingPoint;
    const int d = kBumpStep;
    int u1 = std::max(lo, c - d);
    const int u2 = std::min(hi, u1 + 2 * d);
    if (u2 == hi)
        u1 = std::max(lo, u2 - 2 * d);

    plan.bump.u1 = u1;
    plan.bump.u2 = u2;
    plan.bump.actuatorMin = lo;
    plan.bump.actuatorMax = hi;
    plan.bump.fit = fitSettingsFor(s.kit);

    plan.search.loop.reference = s.reference;
    plan.search.loop.cycles = s.cycles;
    plan.search.loop.actuatorMin = lo;
    plan.search.loop.actuatorMax = hi;
    plan.search.loop.actuatorStart = std::clamp(s.actuator, lo, hi);
    plan.search.loop.resolution = plan.bump.fit.resolution;
    plan.search.overshootLimit = s.overshootLimit;
    return plan;
}

} // namespace tervalo
