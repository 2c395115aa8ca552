#pragma once
// The control cycle: one pass per tick of the 200 ms cycle timer while a run
// is in progress. It measures, forms the error, shows the readouts and the
// legend, hands one sample to the graph, runs the selected controller and
// keeps what the next cycle needs. Every step is guarded on its own: a step
// that raises a run-time error has no effect and the next one runs.
//
// The cycle works on the experiment state and talks to the window only
// through CycleHost, so it runs without widgets (tests, benchmarks).

#include "engine/ClassicController.h"
#include "engine/ExperimentState.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tervalo {

// What the student has selected: loop mode and controller.
struct CycleSelection {
    bool kit = false;        // closed loop on the kit
    bool simulation = false; // closed loop on the simulated plant
    bool fuzzy = false;
    std::optional<ClassicLaw> law; // the selected classic law, if any
};

enum class Readout {
    Speed,     // the speed at the sensor of the block diagram
    LawOutput, // "U= ..." on the selected classic law's panel
    FuzzyOutput,
    FuzzyStep,
};

// How a rule cell is shown after a fuzzy step.
enum class RuleShade : std::uint8_t { Plain, Fired, Saturated };

class CycleHost {
public:
    virtual ~CycleHost() = default;
    virtual CycleSelection selection() const = 0;
    // The simulated plant's output, as the holder of it stores it.
    virtual std::int32_t simulatedOutput() const = 0;
    // Graph legend caption 1..6.
    virtual void setGraphCaption(int index, const std::string &text) = 0;
    virtual void setReadout(Readout which, const std::string &text) = 0;
    // One sample of Y and E for the graph.
    virtual void plotSample(double y, double e) = 0;
    virtual int actuatorValue() const = 0;
    virtual int actuatorMin() const = 0;
    virtual int actuatorMax() const = 0;
    // Raises error 380 for a value outside actuatorMin..actuatorMax.
    virtual void setActuatorValue(int value) = 0;
    // The 49 rule cells' texts, and their colours after a fuzzy step.
    virtual void ruleTexts(std::array<std::string, 49> &out) const = 0;
    virtual void showRuleCells(const std::array<RuleShade, 49> &shades) = 0;
    // The motor animation runs while the period counted more than ten changes.
    virtual void setAnimation(bool turning) = 0;
};

// What one finished cycle did, for those who record or watch a run.
struct CycleSample {
    Long cycle = 0; // sampleCount after the cycle: 1 for the first
    int reference = 0;
    long long y = 0;
    long long e = 0;
    int u = 0; // the actuator value after the cycle
    bool fuzzy = false;
    int du = 0; // the fuzzy output step
    // The classic law's parts of this cycle's increment (0 when none ran);
    // the flags tell which parts the law has.
    Extended p = 0, i = 0, d = 0;
    bool hasP = false, hasI = false, hasD = false;
};

class CycleObserver {
public:
    virtual ~CycleObserver() = default;
    // Called at the end of every cycle; must not do slow work.
    virtual void cycleDone(const ExperimentState &state, const CycleSample &sample) = 0;
};

class ControlCycle {
public:
    void run(ExperimentState &state, CycleHost &host);

    void addObserver(CycleObserver *o);
    void removeObserver(CycleObserver *o);

private:
    void classicStep(ExperimentState &s, CycleHost &h, const CycleSelection &sel, CycleSample &sample);
    void fuzzyStep(ExperimentState &s, CycleHost &h);

    std::vector<CycleObserver *> observers_;
    std::array<std::string, 49> cells_; // reused: no allocation per cycle once warm
};

} // namespace tervalo
