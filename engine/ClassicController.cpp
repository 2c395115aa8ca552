#include "engine/ClassicController.h"

#include "runtime/ResumeNext.h"

namespace tervalo {

void ClassicController::updateWorkingValues(ClassicWorking &w, Integer currentError, Integer prevError,
                                            Single samplePeriod)
{
    ResumeNext statement;
    statement([&] {
        const Integer difference = currentError - prevError;
        w.errorRate = CSng(divide(static_cast<Single>(difference.value()), samplePeriod));
    });
    statement([&] {
        // T squared is formed in double from the single-precision period; the
        // sum is evaluated in extended precision and stored as a Single.
        const Double periodSquared = static_cast<Double>(samplePeriod) * static_cast<Double>(samplePeriod);
        const Extended area = static_cast<Extended>(w.errorRate) * periodSquared / 2
                              + prevError.ld() * static_cast<Extended>(samplePeriod);
        w.errorArea = CSng(area);
    });
    statement([&] { w.negErrorRate = -w.errorRate; });
}

Extended ClassicController::increment(ClassicLaw law, const ClassicWorking &w, Integer currentError,
                                      Integer prevError, Single kp, Single ki, Single kd)
{
    // Errors enter as Singles (exact for every Integer); products and sums stay
    // in extended precision until Int.
    const Extended current = static_cast<Single>(currentError.value());
    const Extended previous = static_cast<Single>(prevError.value());
    const Extended p = kp;
    const Extended i = ki;
    const Extended d = kd;
    const Extended area = w.errorArea;
    const Extended negRate = w.negErrorRate;

    switch (law) {
    case ClassicLaw::P:
        return Int(current * p);
    case ClassicLaw::I:
        return Int(i * area);
    case ClassicLaw::PI:
        return Int(previous * p + i * area);
    case ClassicLaw::PD:
        return Int(previous * p + d * negRate);
    case ClassicLaw::PID:
        return Int(previous * p + i * area + d * negRate);
    }
    return 0;
}

} // namespace tervalo
