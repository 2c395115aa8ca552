#pragma once
// A first-order-plus-dead-time model of the speed plant, as the control cycle
// sees it: the actuator value U(k) set by cycle k is held until the next
// cycle, and the plant's speed follows
//
//   y(t) = offset + x(t),   tau x'(t) = K u(t - L) - x(t)
//
// (K in rpm per actuator unit, tau and L in seconds, offset in rpm; tau = 0 is
// a lag-free plant, x(t) = K u(t - L)). What cycle n measures is one of
//  - Sample:     y at the cycle's instant t = nT, the plant's delayed input
//                taken as it stands at that instant (the simulated plant: a
//                gain with one cycle of delay is K = 1.26302, tau = 0, L = T);
//                L must be above 0, since a cycle measures before it sets U;
//  - PeriodMean: the mean of y over the period that just ended, as a pulse
//                count measures it on the kit; L may be 0.
// The response is computed exactly (no integration error) for every L, also
// for L between two cycles.

#include <vector>

namespace tervalo {

enum class Measurement { Sample, PeriodMean };

struct PlantModel {
    double gain = 0;         // K, rpm per actuator unit
    double offset = 0;       // rpm at actuator value 0 (extrapolated)
    double timeConstant = 0; // tau, s
    double deadTime = 0;     // L, s
    double period = 0.2;     // T, the control period, s
    Measurement measurement = Measurement::Sample;

    // The measured response of cycle n >= 1 to a unit step of U set by cycle
    // 0 (0 before the step shows, 1 when it has fully come through). Cycle 0
    // and earlier measure 0.
    double unitStep(int n) const;

    // The steady speed at actuator value u: offset + K u.
    double steady(double u) const { return offset + gain * u; }
};

// The model driven one control cycle at a time:
//   ModelPlant p(model, u0);          // at rest at actuator value u0
//   each cycle: y = p.measure(); ... u = law(y); p.hold(u);
class ModelPlant {
public:
    ModelPlant(const PlantModel &model, double initialActuator);

    // What this cycle measures (rpm, not yet quantised or limited).
    double measure() const { return measured_; }

    // The actuator value this cycle sets, held over the coming period; moves
    // the model on to the next cycle's measurement.
    void hold(double actuator);

private:
    double delayedInput(int back) const; // U(k - back), the initial value before the first hold

    PlantModel m_;
    int whole_ = 0;              // whole periods of L
    double fraction_ = 0;        // the rest of L, 0 <= fraction_ < T
    double decayFirst_ = 0;      // exp(-fraction_ / tau)
    double decaySecond_ = 0;     // exp(-(T - fraction_) / tau)
    std::vector<double> inputs_; // ring of the last held values
    long long cycle_ = 0;        // holds so far
    double initial_ = 0;
    double x_ = 0; // lag state at the current instant
    double measured_ = 0;
};

} // namespace tervalo
