#include "ui/TestProgramRunner.h"

#include "ui/Form2.h"

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
    program_.forEachAt(cycle, [this](const TestEvent &e) {
        if (e.kind == TestEvent::Kind::Reference)
            form_.stepReference(e.value);
        else
            form_.moveLoad(form_.loadValue(), e.value);
    });
}

} // namespace tervalo
