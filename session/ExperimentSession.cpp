#include "session/ExperimentSession.h"

#include "engine/ClassicPanels.h"
#include "engine/FuzzyController.h"
#include "engine/Terms.h"
#include "session/Lab.h"
#include "session/TestProgramRunner.h"

#include <algorithm>
#include <cmath>

namespace tervalo {

namespace {

double gainOf(const Experiment &e, Gain g)
{
    return g == Gain::Kp ? e.kp : g == Gain::Ki ? e.ki : e.kd;
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

bool applyExperiment(Lab &lab, const Experiment &e, TestProgramRunner *runner, QString &why)
{
    if (lab.runActive()) {
        why = QStringLiteral("a run is in progress: press STOP first");
        return false;
    }
    LabControls &form = lab.controls();
    form.selectMode(e.mode);
    // every gain through a bar, so that the shared gains hold the file's
    // values whichever panel shows them later
    for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd}) {
        const int value = ClassicPanels::toBar(gainOf(e, g));
        if (const GainSlider *bar = barFor(e.controller, g, value))
            form.setGainBar(bar->bar, value);
    }
    form.selectController(e.controller);
    if (const ClassicPanel *panel = ClassicPanels::named(e.controller))
        for (std::size_t k = 0; k < panel->sliderCount; ++k)
            form.setGainBar(panel->sliders[k].bar, ClassicPanels::toBar(gainOf(e, panel->sliders[k].gain)));
    form.setDivisors(e.errorDivisor, e.outputDivisor);
    for (int cell = 0; cell < 49; ++cell)
        form.setRuleTerm(cell, e.rules[static_cast<std::size_t>(cell)]);
    form.setReference(e.reference);
    if (runner)
        runner->setProgram(e.program);
    return true;
}

bool experimentOf(const Lab &lab, const TestProgram &program, Experiment &out, QString &why)
{
    const LabControls &form = lab.controls();
    const RunSettings setUp = form.settings();
    Experiment e;
    e.mode = setUp.mode;
    e.controller = runControllerName(setUp.controller);
    // the shared gains, on the bars' steps and inside the file's limits
    const ExperimentState &s = form.state();
    for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd}) {
        const Single shared = g == Gain::Kp ? s.kp : g == Gain::Ki ? s.ki : s.kd;
        const double stepped = ClassicPanels::fromBar(ClassicPanels::toBar(static_cast<double>(shared)));
        (g == Gain::Kp       ? e.kp
             : g == Gain::Ki ? e.ki
                             : e.kd) = std::clamp(stepped, 0.0, ExperimentFile::gainLimit(e.controller, g));
    }
    // the chosen law's gains as its own bars show them
    if (const ClassicPanel *panel = ClassicPanels::named(e.controller))
        for (std::size_t k = 0; k < panel->sliderCount; ++k) {
            const GainSlider &bar = panel->sliders[k];
            (bar.gain == Gain::Kp       ? e.kp
                 : bar.gain == Gain::Ki ? e.ki
                                        : e.kd) = ClassicPanels::fromBar(form.gainBarValue(bar.bar));
        }
    e.errorDivisor = setUp.errorDivisor;
    e.outputDivisor = setUp.outputDivisor;
    e.reference = setUp.reference;
    const std::array<std::string, 49> &texts = setUp.rules;
    for (int r = 0; r < FuzzyController::termCount; ++r)
        for (int c = 0; c < FuzzyController::termCount; ++c) {
            const auto cell = static_cast<std::size_t>(FuzzyController::cellIndex(r, c));
            const int term = Terms::indexOf(texts[cell], lab.english() ? Terms::English : Terms::Turkish);
            if (term < 0) {
                const ExperimentError refused = ExperimentError::rule(r, c, ExperimentError::Reason::NoTermName,
                                                                      {QString::fromStdString(texts[cell])});
                why = refused.message(lab.english());
                return false;
            }
            e.rules[cell] = term;
        }
    e.program = program;
    out = e;
    return true;
}

} // namespace tervalo
