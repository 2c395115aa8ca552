#pragma once
// The ranges of the session's sliders that files and programs are checked
// against: the reference bar, the fuzzy divisors and the load slider.

namespace tervalo {

struct SessionLimits {
    static constexpr int kReferenceMin = 500, kReferenceMax = 2000;
    static constexpr int kErrorDivisorMin = 1, kErrorDivisorMax = 20;
    static constexpr int kOutputDivisorMin = 2, kOutputDivisorMax = 20;
    static constexpr int kLoadMin = 1, kLoadMax = 30;
};

} // namespace tervalo
