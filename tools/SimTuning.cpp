#include "tools/SimTuning.h"

#include "engine/ClassicPanels.h"
#include "engine/FuzzySurface.h"
#include "engine/GainSearch.h"
#include "engine/PlantIdentification.h"
#include "engine/SimulatedPlant.h"
#include "engine/StepFigures.h"
#include "engine/TuningPlan.h"
#include "fileio/AtomicFile.h"
#include "tools/SimSession.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace tervalo::sim {

namespace {

int refuse(const std::string &line)
{
    std::fprintf(stderr, "tervalo-sim: %s\n", line.c_str());
    return 1;
}

int finish(CheckedOutput &out, const std::string &text)
{
    if (!out.write(text) || !out.flush())
        return refuse(out.failure());
    return 0;
}

std::string line(const char *metric, double value)
{
    return std::string(metric) + ',' + shortestDecimal(value) + '\n';
}

// The bump test through the window's open loop: the test's actuator value is
// set before START, and each cycle's Y goes to the test, whose answer is set
// right after the cycle, as a law sets it.
Identification bumpTest(bool kit, const BumpTestSettings &settings)
{
    Session session(kit);
    Form2 &form = session.form();
    session.selectLoop("open");

    BumpTest test(settings);
    if (test.finished()) // settings refused
        return test.result();

    form.setActuator(test.actuator());
    session.run([&] {
        if (test.finished())
            return false;
        form.Timer1_Timer();
        form.setActuator(test.cycle(form.state().outputY));
        return !test.finished();
    });
    return test.result();
}

std::string refusal(const char *command, int u1, int u2, const Identification &r)
{
    std::string text = std::string(command) + " " + std::to_string(u1) + ":" + std::to_string(u2) + ": "
        + bumpStatusName(r.status) + ": " + r.reason;
    if (r.suggestedU2 >= 0)
        text += "; try a larger step, " + std::to_string(u1) + ":" + std::to_string(r.suggestedU2);
    return text;
}

} // namespace

int writeSurface(const Options &o)
{
    Session session(false);
    Form2 &form = session.form();
    form.selectMode(RunMode::Simulation);
    form.selectController("fuzzy");
    form.setReference(o.reference);
    form.setDivisors(o.errorDivisor, o.outputDivisor);
    if (o.rules)
        for (int i = 0; i < 49; ++i)
            form.setRuleTerm(i, (*o.rules)[static_cast<std::size_t>(i)]);

    const FuzzySurfaceSettings settings = FuzzySurfaceSettings::of(form.settings());
    std::string csv;
    try {
        csv = FuzzySurface::compute(settings).csv();
    } catch (const std::exception &e) {
        return refuse(std::string("--surface: ") + e.what());
    }
    const FileError e = writeFileAtomically(QString::fromLocal8Bit(o.surface.c_str()),
                                            QByteArray(csv.data(), static_cast<qsizetype>(csv.size())));
    if (e.failed())
        return refuse(e.message().toLocal8Bit().toStdString());
    return 0;
}

int identifyPlant(const Options &o, CheckedOutput &out)
{
    const auto [u1, u2] = *o.identify;
    TuningSetUp setUp;
    setUp.kit = o.kit();
    BumpTestSettings settings = planTuning(setUp).bump;
    settings.u1 = u1;
    settings.u2 = u2;
    const Identification r = bumpTest(o.kit(), settings);
    if (!r.ok())
        return refuse(refusal("--identify", u1, u2, r));
    return finish(out,
                  line("gain", r.model.gain) + line("offset", r.model.offset)
                      + line("time_constant_s", r.model.timeConstant) + line("dead_time_s", r.model.deadTime)
                      + line("rmse", r.rmse));
}

int suggestGains(const Options &o, CheckedOutput &out)
{
    const ClassicLaw law = ClassicPanels::named(o.suggest)->law;
    TuningPlan plan;
    {
        // The run as tervalo-sim starts one: where START leaves the actuator,
        // on the plant the run is on.
        Session session(o.kit());
        session.selectLoop(o.suggest);
        if (o.actuator)
            session.form().setActuator(*o.actuator);
        TuningSetUp setUp;
        setUp.kit = o.kit();
        setUp.reference = o.reference;
        setUp.cycles = o.cycles;
        setUp.overshootLimit = o.overshoot;
        setUp.actuator = session.form().actuatorValue();
        if (KitEmulator *kit = session.emulator())
            setUp.steadySpeed = [kit](int u) { return kit->steadySpeed(u); };
        plan = planTuning(setUp);
    }
    const int u1 = plan.bump.u1, u2 = plan.bump.u2;
    const Identification r = bumpTest(o.kit(), plan.bump);
    if (!r.ok())
        return refuse(refusal("--suggest: the bump test", u1, u2, r));

    GainSuggestion g;
    try {
        g = tervalo::suggestGains(r.model, law, plan.search);
    } catch (const std::invalid_argument &e) {
        return refuse(std::string("--suggest: the fitted model cannot be used: ") + e.what());
    }
    if (!g.found)
        return refuse("--suggest " + o.suggest + ": " + g.reason);

    const GainSliderRanges ranges = gainSliderRanges(law);
    std::string text;
    if (ranges.usesKp)
        text += line("kp", ClassicPanels::fromBar(g.gains.kp));
    if (ranges.usesKi)
        text += line("ki", ClassicPanels::fromBar(g.gains.ki));
    if (ranges.usesKd)
        text += line("kd", ClassicPanels::fromBar(g.gains.kd));
    text += summaryLines(g.figures);
    return finish(out, text);
}

} // namespace tervalo::sim
