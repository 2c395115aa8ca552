#include "session/TestProgramRunner.h"

#include "session/Lab.h"

#include <QString>

namespace tervalo {

void TestProgramRunner::started()
{
    startReference_ = lab_.record().settings().reference;
    referenceStepped_ = false;
    applyAt(1);
}

void TestProgramRunner::stopped()
{
    if (!referenceStepped_)
        return;
    referenceStepped_ = false;
    lab_.controls().setReference(startReference_);
}

void TestProgramRunner::cycleDone(const ExperimentState &, const CycleSample &sample)
{
    applyAt(static_cast<std::int64_t>(sample.cycle.value()) + 1);
}

void TestProgramRunner::applyAt(std::int64_t cycle)
{
    program_.forEachAt(cycle, [this, cycle](const TestEvent &e) {
        LabControls &controls = lab_.controls();
        if (e.kind == TestEvent::Kind::Reference) {
            controls.stepReference(e.value);
            referenceStepped_ = true;
        } else if (controls.settings().mode == RunMode::Simulation)
            controls.moveLoad(controls.loadValue(), e.value);
        else if (kitLoad)
            kitLoad(e.value);
        else
            lab_.notify(
                lab_.english()
                    ? QStringLiteral("Test program, cycle %1: set the kit's load to %2 now.").arg(cycle).arg(e.value)
                    : QStringLiteral("Test programı, çevrim %1: kitin yükünü şimdi %2 yapın.").arg(cycle).arg(e.value));
    });
}

} // namespace tervalo
