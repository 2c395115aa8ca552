#pragma once
// Gain suggestions for the classic laws: the gains on the panel's slider grid
// (steps of 0.001) that give the least IAE for a step to the reference on an
// identified plant model, with the overshoot kept within a limit. Each
// candidate is run with the program's own law arithmetic - the working values
// and increment of ClassicController, the Integer conversion of the new
// actuator value, and the actuator's range, where a value outside it leaves
// the actuator where it was - against the model, with the speed measured in
// whole counts as the plant delivers it.
//
// How the grid is searched:
//  - a grid of at most 50,000 points (P: 1,201; I: 5,001; PD: 20,301) is run
//    whole, so the best point is the best of the grid;
//  - a larger one (PI: about 3 million, PID: about 10 million points) coarse
//    to fine: first a grid of 64 (PI) or 24 (PID) points per gain; then,
//    again and again until the spacing is one slider step, the spacing is
//    halved and the 5 points per gain around each of up to 12 centres are run
//    (memoised), the centres being the best points that keep the overshoot,
//    each outside the reach of a better one so that several valleys are
//    followed; the best is then polished by a walk to better neighbours one
//    step away. This is not provably the best point of the grid: on a
//    kit-like model the PID result was the grid's best (checked against all
//    10 million points) and the PI result within 0.1 % of its IAE;
//  - every run stops as soon as its running sum of |E| x 0.2 exceeds the IAE
//    of the worst of the 64 best kept so far (it could only end worse).

#include "engine/ClassicController.h"
#include "engine/PlantModel.h"
#include "engine/StepFigures.h"

#include <string>
#include <vector>

namespace tervalo {

// A law's gains as slider values: gain x 1000, whole numbers.
struct SliderGains {
    int kp = 0, ki = 0, kd = 0;

    friend bool operator==(const SliderGains &a, const SliderGains &b)
    {
        return a.kp == b.kp && a.ki == b.ki && a.kd == b.kd;
    }
};

// The ranges of a law's gain sliders (the maximum of each, the minimum is
// 0); a gain the law does not have has maximum 0 and uses() false.
struct GainSliderRanges {
    int kpMax = 0, kiMax = 0, kdMax = 0;
    bool usesKp = false, usesKi = false, usesKd = false;
};

// The ranges of the law's panel (ClassicPanels). P: Kp 0..1.2; I: Ki 0..5; PI: Kp 0..1, Ki 0..3; PD: Kp 0..0.2, Kd 0..0.1;
// PID: Kp 0..0.2, Kd 0..0.1, Ki 0..0.5 (x 1000 on the sliders).
GainSliderRanges gainSliderRanges(ClassicLaw law);

// The gain the law reads from a slider value: value / 1000 as a Single.
Single gainOf(int sliderValue);

// A closed-loop run on the model, started as a run starts: the actuator at
// actuatorStart, the plant at rest there, e(0) = 0.
struct LoopSettings {
    int reference = 1000;
    int cycles = 100;
    int actuatorMin = 0, actuatorMax = 4095; // the kit's minimum is 1300
    int actuatorStart = 0;                   // where the previous STOP left it: the minimum
    int resolution = 1;                      // rpm per count: 5 on the kit, 1 in simulation
};

// The run's rows, one per control cycle (time, reference, Y, E, U after the
// law), the rows a figure is computed from.
// The speed measured is resolution x the nearest whole count of the model's
// speed (at least 0); a speed whose count no longer fits an Integer leaves
// the measured value as it was.
std::vector<StepSample> runLaw(const PlantModel &model, ClassicLaw law, SliderGains gains, const LoopSettings &loop);

struct SearchSettings {
    LoopSettings loop;
    double overshootLimit = 10; // percent
};

struct GainSuggestion {
    bool found = false;
    std::string reason; // English, when nothing was found
    ClassicLaw law = ClassicLaw::P;
    SliderGains gains;            // slider values, each within its slider's range
    std::vector<StepSample> rows; // the predicted run
    StepFigures figures;          // its figures (computeStepFigures)
    long long runs = 0;           // candidate runs simulated (whole or cut short)

    double kp() const { return gainOf(gains.kp); }
    double ki() const { return gainOf(gains.ki); }
    double kd() const { return gainOf(gains.kd); }
};

// Both throw std::invalid_argument for loop settings out of range (cycles or
// resolution below 1, start outside minimum..maximum, limits outside 0..4095,
// reference outside 0..2000) and for a model ModelPlant refuses.
GainSuggestion suggestGains(const PlantModel &model, ClassicLaw law, const SearchSettings &settings);

} // namespace tervalo
