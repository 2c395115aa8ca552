#include "engine/ControlCycle.h"

#include "engine/ClassicPanels.h"
#include "engine/FuzzyController.h"
#include "runtime/NumberText.h"
#include "runtime/ResumeNext.h"

#include <algorithm>

namespace tervalo {

void ControlCycle::addObserver(CycleObserver *o)
{
    if (o && std::find(observers_.begin(), observers_.end(), o) == observers_.end())
        observers_.push_back(o);
}

void ControlCycle::removeObserver(CycleObserver *o)
{
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void ControlCycle::run(ExperimentState &s, CycleHost &h)
{
    ResumeNext step;
    const CycleSelection sel = h.selection();
    CycleSample sample;

    step([&] {
        if (!sel.simulation) {
            s.outputY = (s.pulseCount * 5).value();
        } else {
            s.pulseCount = Integer::fromExtended(h.simulatedOutput());
            s.outputY = s.pulseCount.value();
        }
    });
    // The motor turns while the period counted more than ten changes.
    const bool turning = s.pulseCount.value() > 10;
    step([&] { s.pulseCount = 0; });
    step([&] { h.setGraphCaption(2, "Y(t) =" + NumberText::whole(s.outputY)); });
    step([&] { s.errorE = s.reference.value() - s.outputY; });
    step([&] { h.setGraphCaption(3, "E(t) =" + NumberText::whole(s.errorE)); });
    step([&] { h.setReadout(Readout::Speed, NumberText::whole(s.outputY)); });
    step([&] { h.plotSample(static_cast<double>(s.outputY), static_cast<double>(s.errorE)); });
    step([&] { h.setGraphCaption(1, "RT=" + NumberText::whole(s.reference.value())); });
    step([&] { s.sampleCount = s.sampleCount + 1; });
    step([&] { s.outputInt = Integer::fromExtended(static_cast<Extended>(s.outputY)); });
    step([&] { s.currentError = s.reference - s.outputInt; });
    step([&] { s.errorDelta = s.currentError - s.prevError; });
    step([&] { s.samplePeriod = 0.2f; });
    if (!sel.fuzzy)
        step([&] { classicStep(s, h, sel, sample); });
    const bool fuzzyRuns = (sel.kit || sel.simulation) && sel.fuzzy && s.reference > 0;
    if (fuzzyRuns)
        step([&] { fuzzyStep(s, h); });
    step([&] { s.prevError = s.currentError; });
    step([&] { h.setAnimation(turning); });
    step([&] { s.pulseCount = 0; });

    if (observers_.empty())
        return;
    sample.cycle = s.sampleCount;
    sample.reference = s.reference.value();
    sample.y = s.outputY;
    sample.e = s.errorE;
    sample.u = h.actuatorValue();
    sample.fuzzy = sel.fuzzy;
    sample.du = fuzzyRuns ? s.outputDelta.value() : 0;
    for (CycleObserver *o : observers_)
        o->cycleDone(s, sample);
}

void ControlCycle::classicStep(ExperimentState &s, CycleHost &h, const CycleSelection &sel, CycleSample &sample)
{
    ResumeNext step;
    step([&] { ClassicController::updateWorkingValues(s.classic, s.currentError, s.prevError, s.samplePeriod); });
    if (!(sel.kit || sel.simulation) || !sel.law)
        return;
    const ClassicLaw law = *sel.law;

    step([&] {
        // The increment is Int() of the parts' sum; the parts go to those
        // who watch the cycle.
        const ClassicParts parts =
            ClassicController::parts(law, s.classic, s.currentError, s.prevError, s.kp, s.ki, s.kd);
        sample.p = parts.p;
        sample.i = parts.i;
        sample.d = parts.d;
        sample.hasP = parts.hasP;
        sample.hasI = parts.hasI;
        sample.hasD = parts.hasD;
        const Extended delta = Int(parts.sum());
        h.setActuatorValue(CInt(delta + h.actuatorValue()));
    });
    step([&] { h.setReadout(Readout::LawOutput, "U= " + NumberText::whole(h.actuatorValue())); });

    std::array<Gain, 3> gains{};
    const std::size_t n = ClassicPanels::captionGains(law, gains);
    for (std::size_t k = 0; k < n; ++k)
        step([&] {
            const Single value = gains[k] == Gain::Kp ? s.kp : gains[k] == Gain::Ki ? s.ki : s.kd;
            h.setGraphCaption(4 + static_cast<int>(k), ClassicPanels::prefix(gains[k]) + NumberText::single(value));
        });
}

void ControlCycle::fuzzyStep(ExperimentState &s, CycleHost &h)
{
    ResumeNext step;
    const std::array<std::string, 7> names = s.termNames();
    auto nameOf = [&names](int term) { return term < 0 ? std::string() : names[static_cast<std::size_t>(term)]; };

    h.ruleTexts(cells_);

    FuzzyResult r;
    const bool computed = step([&] {
        r = FuzzyController::step(s.currentError, s.errorDelta, s.controlReference, s.errorDeltaRange,
                                  s.outputDeltaRange, cells_, names, s.outputDelta);
    });
    if (computed) {
        s.errorMembership1 = r.error.membership1;
        s.errorMembership2 = r.error.membership2;
        s.errorTerm1 = nameOf(r.error.term1);
        s.errorTerm2 = nameOf(r.error.term2);
        s.deltaMembership1 = r.delta.membership1;
        s.deltaMembership2 = r.delta.membership2;
        s.deltaTerm1 = nameOf(r.delta.term1);
        s.deltaTerm2 = nameOf(r.delta.term2);
        s.outputDelta = r.outputDelta;
    }

    step([&] { s.newOutput = s.fuzzyOutput + s.outputDelta; });
    step([&] { h.setReadout(Readout::FuzzyOutput, " U= " + NumberText::whole(s.newOutput.value())); });
    step([&] { h.setReadout(Readout::FuzzyStep, " dU= " + NumberText::whole(s.outputDelta.value())); });

    // At a limit of the actuator the output is held there. The rule table
    // turns red to show the saturation; the student's rules and gains stay.
    bool saturated = false;
    step([&] {
        if (h.actuatorMin() >= s.newOutput.value()) {
            saturated = true;
            s.newOutput = h.actuatorMin();
        }
    });
    step([&] {
        if (s.newOutput.value() >= h.actuatorMax()) {
            saturated = true;
            s.newOutput = h.actuatorMax();
        }
    });

    // The fired rules highlighted; every other cell plain.
    std::array<RuleShade, 49> shades{};
    if (saturated) {
        shades.fill(RuleShade::Saturated);
    } else if (computed) {
        for (int cell : r.ruleCell)
            if (cell >= 0)
                shades[static_cast<std::size_t>(cell)] = RuleShade::Fired;
    }
    h.showRuleCells(shades);
    s.lastCycleSaturated = saturated;

    step([&] { s.fuzzyOutput = s.newOutput; });
    step([&] { h.setActuatorValue(s.newOutput.value()); });
}

} // namespace tervalo
