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

ClassicParts ClassicController::parts(ClassicLaw law, const ClassicWorking &w, Integer currentError, Integer prevError,
                                      Single kp, Single ki, Single kd)
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

    ClassicParts r;
    switch (law) {
    case ClassicLaw::P:
        r.p = current * p;
        r.hasP = true;
        break;
    case ClassicLaw::I:
        r.i = i * area;
        r.hasI = true;
        break;
    case ClassicLaw::PI:
        r.p = previous * p;
        r.i = i * area;
        r.hasP = r.hasI = true;
        break;
    case ClassicLaw::PD:
        r.p = previous * p;
        r.d = d * negRate;
        r.hasP = r.hasD = true;
        break;
    case ClassicLaw::PID:
        r.p = previous * p;
        r.i = i * area;
        r.d = d * negRate;
        r.hasP = r.hasI = r.hasD = true;
        break;
    }
    return r;
}

Extended ClassicController::increment(ClassicLaw law, const ClassicWorking &w, Integer currentError, Integer prevError,
                                      Single kp, Single ki, Single kd)
{
    // A missing part is +0, which leaves the sum of the others as it is.
    return Int(parts(law, w, currentError, prevError, kp, ki, kd).sum());
}

} // namespace tervalo
