#include "ui/ExperimentSession.h"

#include "engine/ClassicPanels.h"
#include "ui/Form2.h"
#include "ui/TestProgramRunner.h"

#include <cmath>

namespace tervalo {

namespace {

LoopMode loopModeOf(RunMode m)
{
    switch (m) {
    case RunMode::OpenLoop:
        return LoopMode::Open;
    case RunMode::Kit:
        return LoopMode::Kit;
    case RunMode::Simulation:
        break;
    }
    return LoopMode::Simulation;
}

double gainOf(const Experiment &e, Gain g)
{
    return g == Gain::Kp ? e.kp : g == Gain::Ki ? e.ki : e.kd;
}

int barValue(double gain)
{
    return static_cast<int>(std::lround(gain * 1000));
}

// The bar that sets a gain: the controller's own, else the first bar of
// that gain wide enough for the value.
const GainSlider *barFor(const std::string &controller, Gain g, int value)
{
    const GainSlider *wide = nullptr;
    for (const ClassicPanel &panel : ClassicPanels::all())
        for (std::size_t k = 0; k < panel.sliderCount; ++k) {
            const GainSlider &s = panel.sliders[k];
            if (s.gain != g)
                continue;
            if (controller == panel.name)
                return &s;
            if (!wide && value <= s.max)
                wide = &s;
        }
    return wide;
}

} // namespace

bool applyExperiment(Form2 &form, const Experiment &e, TestProgramRunner *runner, QString &why)
{
    if (form.runActive()) {
        why = QStringLiteral("a run is in progress: press STOP first");
        return false;
    }
    form.selectMode(loopModeOf(e.mode));
    // every gain through a bar, so that the shared gains hold the file's
    // values whichever panel shows them later
    for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd}) {
        const int value = barValue(gainOf(e, g));
        if (const GainSlider *bar = barFor(e.controller, g, value))
            form.setGainBar(bar->bar, value);
    }
    form.selectController(e.controller);
    if (const ClassicPanel *panel = ClassicPanels::named(e.controller))
        for (std::size_t k = 0; k < panel->sliderCount; ++k)
            form.setGainBar(panel->sliders[k].bar, barValue(gainOf(e, panel->sliders[k].gain)));
    form.setDivisors(e.errorDivisor, e.outputDivisor);
    for (int cell = 0; cell < 49; ++cell)
        form.setRuleTerm(cell, e.rules[static_cast<std::size_t>(cell)]);
    form.setReference(e.reference);
    if (runner)
        runner->setProgram(e.program);
    return true;
}

} // namespace tervalo
