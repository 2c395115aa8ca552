#include "session/TestProgramRunner.h"

#include "ui/main/Form2.h"

#include <QString>

namespace tervalo {

TestProgramRunner::TestProgramRunner(Form2 &form) : form_(form), self_(std::make_shared<TestProgramRunner *>(this))
{
    form_.cycle().addObserver(this);
    // the window keeps its listeners: this one goes quiet with the runner
    std::weak_ptr<TestProgramRunner *> self = self_;
    form_.addRunListener([self](bool started) {
        if (const auto alive = self.lock(); alive && started)
            (*alive)->applyAt(1);
    });
}

TestProgramRunner::~TestProgramRunner()
{
    form_.cycle().removeObserver(this);
}

void TestProgramRunner::cycleDone(const ExperimentState &, const CycleSample &sample)
{
    applyAt(static_cast<std::int64_t>(sample.cycle.value()) + 1);
}

void TestProgramRunner::applyAt(std::int64_t cycle)
{
    program_.forEachAt(cycle, [this, cycle](const TestEvent &e) {
        if (e.kind == TestEvent::Kind::Reference)
            form_.stepReference(e.value);
        else if (form_.loopMode() == LoopMode::Simulation)
            form_.moveLoad(form_.loadValue(), e.value);
        else if (kitLoad)
            kitLoad(e.value);
        else if (form_.notifyUser)
            form_.notifyUser(
                form_.english()
                    ? QStringLiteral("Test program, cycle %1: set the kit's load to %2 now.").arg(cycle).arg(e.value)
                    : QStringLiteral("Test programı, çevrim %1: kitin yükünü şimdi %2 yapın.").arg(cycle).arg(e.value));
    });
}

} // namespace tervalo
