#pragma once
// The ranges of the session's sliders: the reference bar, the fuzzy
// divisors, the load slider and the actuator (0..4095; on the kit it starts
// at 1300, below which the motor does not turn). The window sets its sliders from them at
// start-up; experiment files and test programs are checked against them.

namespace tervalo {

struct SessionLimits {
    static constexpr int kReferenceMin = 500, kReferenceMax = 2000;
    static constexpr int kErrorDivisorMin = 1, kErrorDivisorMax = 20;
    static constexpr int kOutputDivisorMin = 2, kOutputDivisorMax = 20;
    static constexpr int kLoadMin = 1, kLoadMax = 30;
    static constexpr int kActuatorMax = 4095, kKitActuatorMin = 1300;
    static constexpr int actuatorMin(bool kit) { return kit ? kKitActuatorMin : 0; }
};

} // namespace tervalo
