#pragma once
// Plant identification by a bump test. The test holds the actuator at U1
// until the speed is steady, steps it to U2, records the speed until it is
// steady again and fits a first-order-plus-dead-time model (PlantModel) to
// the recorded response by least squares. It runs one control cycle at a
// time against any plant that takes an actuator value and gives a speed per
// cycle (the simulated plant, the kit, an emulated kit):
//
//   BumpTest test(settings);
//   plant.set(test.actuator());
//   while (!test.finished())
//       plant.set(test.cycle(plant.speedOfThisCycle()));
//   const Identification &r = test.result();
//
// The fit on its own: fitStepResponse(response, fitSettings).

#include "engine/PlantModel.h"

#include <string>
#include <vector>

namespace tervalo {

enum class BumpStatus {
    Holding,      // at U1, waiting for the speed to settle
    Recording,    // at U2, recording the response
    Fitted,       // done: result().model is the fitted model
    NeverSettled, // the speed did not settle within the cycle limit
    StepTooSmall, // the step did not move the speed visibly over the count resolution
    Unfittable,   // no model fits the response (result().reason says why)
    BadSettings,  // U1 and U2 equal or outside the actuator's range, or limits that make no sense
};

// Machine name: "holding", "recording", "fitted", "never_settled",
// "step_too_small", "unfittable", "bad_settings".
const char *bumpStatusName(BumpStatus s);

struct FitSettings {
    double period = 0.2;
    Measurement measurement = Measurement::Sample;
    int resolution = 1;         // rpm per count of the measurement (5 on the kit, 1 in simulation)
    double deadTimeLimit = 3;   // s, the longest dead time tried
    double poorFitShare = 0.15; // refuse a fit whose rmse exceeds this share of the step's effect
};

// A recorded step: the speeds measured while U1 was held (the last of them by
// the cycle that set U2), then those of the cycles after it.
struct StepResponse {
    int u1 = 0, u2 = 0;
    std::vector<double> before; // cycles -(before.size()-1) .. 0
    std::vector<double> after;  // cycles 1 .. after.size()
};

struct Identification {
    BumpStatus status = BumpStatus::Holding;
    std::string reason;   // English, empty when fitted; windows translate by status
    int suggestedU2 = -1; // a larger step to try, for NeverSettled and StepTooSmall (-1: none)
    double change = 0;    // rpm, the speed change the step gave (final mean - baseline mean)

    PlantModel model; // valid when status == Fitted
    double rmse = 0;  // rpm, over all fitted samples

    // The fitted samples for a plot: time from the step (cycle x T, 0 and
    // below before it), measured speed, model speed, measured - model.
    std::vector<double> time, measured, fitted, residual;

    bool ok() const { return status == BumpStatus::Fitted; }
};

// Least-squares fit of y = offset + K u through a lag tau and a dead time L:
// for every L on a grid (first every T/10, then every T/100 around the best;
// up to deadTimeLimit, and no later than the first of two samples in a row
// that have come a tenth of the way and at least two counts),
// tau by a log-spaced scan and a golden-section refinement (tau = 0 included),
// K and the offset in closed form. When the samples cannot tell dead times
// apart (a lag-free response changes between two samples), the longest dead
// time they allow is taken: the simulated plant reads L = T, not anything in
// (0, T]. Returns status Fitted or Unfittable (with the reason).
Identification fitStepResponse(const StepResponse &response, const FitSettings &settings);

struct BumpTestSettings {
    int u1 = 0, u2 = 0;
    int actuatorMin = 0, actuatorMax = 4095; // the kit's minimum is 1300
    FitSettings fit;
    int steadyCycles = 10;  // cycles the steadiness is judged over
    double steadyBand = 0;  // rpm the speed may spread over them; 0: max(2 resolution, 1 % of the speed)
    int visibleCounts = 10; // the step must move the speed by this many counts
    int holdLimit = 300;    // cycles at U1 before giving up
    int recordLimit = 300;  // cycles after the step before giving up
    int responseWait = 25;  // cycles after the step after which a steady, unmoved speed means too small a step
};

class BumpTest {
public:
    explicit BumpTest(const BumpTestSettings &settings);

    // The actuator value to hold now: U1 until the step, U2 from it on.
    int actuator() const { return actuator_; }

    // This cycle's measured speed; returns the actuator value this cycle sets.
    // After the test has finished it changes nothing.
    int cycle(double y);

    BumpStatus status() const { return result_.status; }
    bool finished() const { return status() != BumpStatus::Holding && status() != BumpStatus::Recording; }
    int cyclesRun() const { return cycles_; }
    const Identification &result() const { return result_; }
    const StepResponse &response() const { return response_; }
    const BumpTestSettings &settings() const { return s_; }

private:
    bool steady(const std::vector<double> &samples) const;
    double tailMean(const std::vector<double> &samples) const;
    void refuse(BumpStatus status, const std::string &reason, bool suggest);

    BumpTestSettings s_;
    int actuator_ = 0;
    int cycles_ = 0;
    std::vector<double> held_;
    StepResponse response_;
    Identification result_;
};

} // namespace tervalo
