#pragma once
// Runs a timed test program in a window: at START the events of cycle 1 are
// applied, and after each cycle those of the next one, through the window's
// own reference step and load slider. Attach one to a Form2; it detaches
// itself when destroyed.

#include "engine/ControlCycle.h"
#include "engine/TestProgram.h"

#include <functional>
#include <memory>

namespace tervalo {

class Form2;

class TestProgramRunner : public CycleObserver {
public:
    explicit TestProgramRunner(Form2 &form);
    ~TestProgramRunner() override;
    TestProgramRunner(const TestProgramRunner &) = delete;
    TestProgramRunner &operator=(const TestProgramRunner &) = delete;

    // A load change on the kit: the load slider is the simulated plant's, and
    // moving it on the kit would move the drive itself. An emulated kit sets
    // its load torque here; with none set, the student is told to set the
    // kit's load by hand (through the window's notice).
    std::function<void(int level)> kitLoad;

    void setProgram(const TestProgram &program) { program_ = program; }
    const TestProgram &program() const { return program_; }

    void cycleDone(const ExperimentState &state, const CycleSample &sample) override;

private:
    void applyAt(std::int64_t cycle);

    Form2 &form_;
    TestProgram program_;
    std::shared_ptr<TestProgramRunner *> self_;
};

} // namespace tervalo
