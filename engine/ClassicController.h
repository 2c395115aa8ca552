#pragma once
// The five incremental classic laws (P, I, PI, PD, PID) of the control cycle.
// Each cycle first refreshes the working values of the error, then the
// selected law gives a whole-number increment that the window adds to the
// actuator value; the actuator value itself is the accumulator.

#include "runtime/Integer.h"
#include "runtime/Numeric.h"

namespace tervalo {

enum class ClassicLaw { P, I, PI, PD, PID };

// The three parts of a law's expression for one cycle, unrounded. A part the
// law does not have is 0 and its flag false; sum() adds them in the law's
// order, so Int(sum()) is the increment.
struct ClassicParts {
    Extended p = 0, i = 0, d = 0;
    bool hasP = false, hasI = false, hasD = false;
    Extended sum() const { return p + i + d; }
};

// Working values of the error, kept between cycles but recomputed every call.
struct ClassicWorking {
    Single errorRate = 0;    // (e(k) - e(k-1)) / T
    Single errorArea = 0;    // trapezoid area under the error over one period
    Single negErrorRate = 0; // -errorRate, the value the derivative term acts on
};

class ClassicController {
public:
    // Working values, every call in every mode. Each of the three values is a
    // statement of its own: an overflow of currentError - prevError (or a zero
    // sample period) leaves errorRate as it was; errorArea and negErrorRate
    // are then computed from it.
    static void updateWorkingValues(ClassicWorking &w, Integer currentError, Integer prevError, Single samplePeriod);

    // The increment of the law: Int(...) of the extended-precision expression,
    // a whole number (it may lie outside every integer range; the caller adds
    // it to the actuator value and converts the sum).
    //   P   Int(e(k) kp)
    //   I   Int(ki area)
    //   PI  Int(e(k-1) kp + ki area)
    //   PD  Int(e(k-1) kp + kd negRate)
    //   PID Int(e(k-1) kp + ki area + kd negRate)
    static Extended increment(ClassicLaw law, const ClassicWorking &w, Integer currentError, Integer prevError,
                              Single kp, Single ki, Single kd);

    // The proportional, integral and derivative parts of the same expression
    // (e(k) kp or e(k-1) kp, ki area, kd negRate), in extended precision;
    // increment() is Int(parts(...).sum()).
    static ClassicParts parts(ClassicLaw law, const ClassicWorking &w, Integer currentError, Integer prevError,
                              Single kp, Single ki, Single kd);
};

} // namespace tervalo
