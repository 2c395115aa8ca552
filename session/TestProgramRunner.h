#pragma once
// Runs a timed test program in the lab: at START the events of cycle 1 are
// applied, and after each cycle those of the next one, through the window's
// own reference step and load slider. The lab owns one and calls it after
// every other watcher of the cycle. Once STOP has been handled, a reference
// the program stepped goes back to the one the run started from, so that
// the next START repeats the experiment, step and all.

#include "engine/ControlCycle.h"
#include "engine/TestProgram.h"

#include <cstdint>
#include <functional>

namespace tervalo {

class Lab;

class TestProgramRunner : public CycleObserver {
public:
    explicit TestProgramRunner(Lab &lab) : lab_(lab) { }
    TestProgramRunner(const TestProgramRunner &) = delete;
    TestProgramRunner &operator=(const TestProgramRunner &) = delete;

    // A load change on the kit: the load slider is the simulated plant's, and
    // moving it on the kit would move the drive itself. An emulated kit sets
    // its load torque here; with none set, the student is told to set the
    // kit's load by hand (through the lab's notice).
    std::function<void(int level)> kitLoad;

    void setProgram(const TestProgram &program) { program_ = program; }
    const TestProgram &program() const { return program_; }

    // START (the run's record started): the events of cycle 1.
    void started();
    void cycleDone(const ExperimentState &state, const CycleSample &sample) override;
    // STOP has been handled: the reference slider is set to the run's start
    // value when the program stepped the reference during the run; left as
    // it is otherwise.
    void stopped();

private:
    void applyAt(std::int64_t cycle);

    Lab &lab_;
    TestProgram program_;
    int startReference_ = 0;        // the slider's value at START
    bool referenceStepped_ = false; // by an event of this run
};

} // namespace tervalo
