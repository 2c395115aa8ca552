#pragma once
// The window's controls as the lab sees them: the set-up a student makes
// with clicks and drags, START and STOP, and one snapshot of it all. The
// main window implements it with its own handlers, so a test program, an
// experiment file, the tuning window and a remote driver change the set-up
// exactly as a click does and are refused for the same reasons.

#include "engine/ClassicController.h"
#include "engine/ControlCycle.h"
#include "engine/ExperimentState.h"
#include "engine/RunRecord.h"

#include <optional>
#include <string>

namespace tervalo {

class LabControls {
public:
    virtual ~LabControls() = default;

    // The mode option of the given mode is clicked.
    virtual void selectMode(RunMode mode) = 0;
    // "P", "I", "PI", "PD", "PID" or "fuzzy"; false for any other name.
    virtual bool selectController(const std::string &name) = 0;
    // A gain bar by name ("Slider2"), value = gain x 1000; raises 380
    // outside the bar's range, 9 for a name that is no gain bar.
    virtual void setGainBar(const std::string &bar, int value) = 0;
    // The classic law whose option is chosen; none for fuzzy or no choice.
    virtual std::optional<ClassicLaw> selectedLaw() const = 0;
    virtual int gainBarValue(const std::string &bar) const = 0;
    virtual int gainBarMax(const std::string &bar) const = 0;
    virtual void setReference(int rpm) = 0;
    // The reference stepped during a run (a test program's event).
    virtual void stepReference(int rpm) = 0;
    virtual void setDivisors(int errorDivisor, int outputDivisor) = 0;
    virtual void setActuator(int value) = 0;
    virtual int actuatorValue() const = 0;
    virtual void setRuleTerm(int cell, int term) = 0; // term 0..6
    // The load slider pressed at from, dragged and released at to.
    virtual void moveLoad(int from, int to) = 0;
    virtual int loadValue() const = 0;
    // START: returns when the run ends (STOP, or the program ending).
    virtual void start() = 0;
    // STOP.
    virtual void stop() = 0;
    // The kit's port can be written: false when its driver could not be
    // opened at start-up or failed since. The kit mode would then drive U
    // up with Y staying 0.
    virtual bool kitReachable() const = 0;

    // The set-up as the controls show it now: mode, controller and the
    // chosen law's gains, divisors, the reference slider, the rule table,
    // the actuator's range and the load; the fuzzy ranges as the last START
    // computed them. The start time is now.
    virtual RunSettings settings() const = 0;
    // The experiment state behind the controls (the shared gains among it).
    virtual const ExperimentState &state() const = 0;
};

} // namespace tervalo
