#pragma once
// The ranges of the session's sliders: the reference bar, the fuzzy
// divisors and the load slider. The window sets its sliders from them at
// start-up; experiment files and test programs are checked against them.

namespace tervalo {

struct SessionLimits {
    static constexpr int kReferenceMin = 500, kReferenceMax = 2000;
    static constexpr int kErrorDivisorMin = 1, kErrorDivisorMax = 20;
    static constexpr int kOutputDivisorMin = 2, kOutputDivisorMax = 20;
    static constexpr int kLoadMin = 1, kLoadMax = 30;
};

} // namespace tervalo
