#pragma once
// The tuning's defaults, in one place for the Tuning window and
// tervalo-sim --suggest: the operating point (the actuator value whose
// steady speed is the reference), the bump test's two steps around it, and
// the loop the gain search judges its candidates on. The same set-up gives
// the same plan, so both find the same gains.

#include "engine/GainSearch.h"
#include "engine/PlantIdentification.h"

#include <functional>
#include <optional>

namespace tervalo {

struct TuningSetUp {
    bool kit = false; // the kit (real or emulated) rather than the simulated plant
    int reference = 1000;
    int cycles = 100; // the run a suggestion is judged on
    double overshootLimit = 10;
    int actuator = 0; // where the actuator stands (START starts from it), clamped to the range
    // The plant's steady speed at an actuator value, when it is known (the
    // simulated plant, the emulated kit); none: the simulated plant's, as a
    // first guess for a real kit.
    std::function<double(int)> steadySpeed;
    // A fitted model: its operating point is used instead.
    std::optional<PlantModel> model;
};

struct TuningPlan {
    int operatingPoint = 0;
    BumpTestSettings bump;
    SearchSettings search;
};

TuningPlan planTuning(const TuningSetUp &setUp);

// How a bump test's response is fitted on the kit (a count of pulses over
// the period, 5 rpm a count) and in simulation (a sample, 1 V).
FitSettings fitSettingsFor(bool kit);

} // namespace tervalo
