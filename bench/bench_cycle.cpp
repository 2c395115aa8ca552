// The control cycle as the window runs it in simulation: measurement,
// readouts, graph, controller and the actuator's change handler, with the
// fuzzy rule table's colouring; and the cycle alone, on a host that only
// keeps the actuator value. Run: build-rel/bench/bench_cycle
#include "bench/BenchSupport.h"
#include "engine/ControlCycle.h"
#include "engine/FuzzyController.h"
#include "engine/RunRecorder.h"
#include "engine/SimulatedPlant.h"
#include "engine/Terms.h"
#include "plant/EventPump.h"
#include "plant/MemoryPort.h"
#include "runtime/RuntimeError.h"
#include "session/Lab.h"
#include "tests/ui/main/Form2Probe.h"
#include "ui/main/Form2.h"
#include "ui/main/RunSession.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdlib>
#include <memory>

namespace {

class IdlePump : public tervalo::EventPump {
public:
    void processEvents() override { }
    void waitForEvents() override { }
};

std::unique_ptr<tervalo::Form2> makeWindow(tervalo::MemoryPort &port, IdlePump &pump, bool fuzzy)
{
    auto form = std::make_unique<tervalo::Form2>(&port, &pump);
    form->showMessage = [](const QString &) {};
    form->quitApplication = [] {};
    form->Form_Load();
    form->selectMode(tervalo::RunMode::Simulation);
    if (fuzzy) {
        form->selectController("fuzzy");
    } else {
        form->selectController("PID");
        form->setGainBar("Slider6", 100);
        form->setGainBar("Slider7", 20);
        form->setGainBar("Slider8", 300);
    }
    // the state START leaves, without entering the counting loop
    form->state().reference = 1000;
    form->state().controlReference = 1000;
    form->state().errorDeltaRange = 500;
    form->state().outputDeltaRange = 100;
    return form;
}

// A full record starts again (outside the timing), so that every measured
// cycle appends a row.
void keepRoom(benchmark::State &state, tervalo::RunRecorder &recorder)
{
    if (recorder.record().size() < recorder.record().capacity())
        return;
    state.PauseTiming();
    const tervalo::RunSettings settings = recorder.record().settings();
    recorder.start(settings);
    state.ResumeTiming();
}

// recording: the window's run record started as at START, so that each
// cycle appends its row
void runCycles(benchmark::State &state, bool fuzzy, bool recording)
{
    tervalo::MemoryPort port;
    IdlePump pump;
    auto form = makeWindow(port, pump, fuzzy);
    tervalo::RunRecorder &recorder = form->lab().recorder();
    if (recording)
        recorder.start(form->settings());
    for (auto _ : state) {
        form->Timer1_Timer();
        if (recording)
            keepRoom(state, recorder);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ControlCycle_PID(benchmark::State &state)
{
    runCycles(state, false, false);
}
void BM_ControlCycle_Fuzzy(benchmark::State &state)
{
    runCycles(state, true, false);
}
void BM_ControlCycle_PID_Recording(benchmark::State &state)
{
    runCycles(state, false, true);
}
void BM_ControlCycle_Fuzzy_Recording(benchmark::State &state)
{
    runCycles(state, true, true);
}

BENCHMARK(BM_ControlCycle_PID);
BENCHMARK(BM_ControlCycle_PID_Recording);
BENCHMARK(BM_ControlCycle_Fuzzy);
BENCHMARK(BM_ControlCycle_Fuzzy_Recording);

// Waits for the files Auto Save hands off the cycle, where a session does.
template <class Session> auto waitForFiles(Session &s, int) -> decltype(s.waitForFiles(), void())
{
    s.waitForFiles();
}
template <class Session> void waitForFiles(Session &, long) { }

// The cycle that ends a sweep with Auto Save on: the graph's picture and,
// beside it, the sweep's rows as CSV and JSON. Only that cycle is timed;
// the 99 before it, and the files of the sweep before, are not.
void BM_ControlCycle_PID_SweepEnd_AutoSave(benchmark::State &state)
{
    tervalo::MemoryPort port;
    IdlePump pump;
    auto form = makeWindow(port, pump, false);
    QTemporaryDir dir;
    form->setAutoSaveChoice({dir.path(), false, QString()});
    int second = 0;
    ctl(*form).Mygraph1->setClock(
        [&] { return QDateTime(QDate(2026, 12, 10), QTime(5, 0, 0), Qt::UTC).addSecs(++second % 8); });
    ctl(*form).Check1->setChecked(true);
    form->Check1_Click();
    tervalo::RunSession &session = form->runSession();
    form->lab().recorder().start(form->settings());
    int saved = 0;
    QObject::connect(ctl(*form).Mygraph1, &tervalo::Mygraph::GraphSaved, [&saved] { ++saved; });
    const int rows = session.sweepRows();
    // in step with the sweeps: the first one is ended and saved untimed
    for (int k = 0; k < 2 * rows && saved == 0; ++k)
        form->Timer1_Timer();
    if (saved == 0)
        state.SkipWithError("no sweep ended");
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 1; k < rows; ++k)
            form->Timer1_Timer();
        waitForFiles(session, 0);
        if (session.record().size() + static_cast<std::size_t>(rows) > session.record().capacity())
            form->lab().recorder().start(session.record().settings());
        const int before = saved;
        state.ResumeTiming();
        form->Timer1_Timer();
        if (saved != before + 1)
            state.SkipWithError("the cycle did not end a sweep");
    }
    waitForFiles(session, 0);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ControlCycle_PID_SweepEnd_AutoSave)->Unit(benchmark::kMicrosecond);

// The engine alone: a host that keeps the actuator value and the simulated
// plant, and shows nothing.
class BareHost : public tervalo::CycleHost {
public:
    tervalo::CycleSelection sel;
    int actuator = 0;
    std::int32_t plant = 0;
    std::array<std::string, 49> rules;

    tervalo::CycleSelection selection() const override { return sel; }
    std::int32_t simulatedOutput() const override { return plant; }
    void setGraphCaption(int, const std::string &) override { }
    void setReadout(tervalo::Readout, const std::string &) override { }
    void plotSample(double, double) override { }
    int actuatorValue() const override { return actuator; }
    int actuatorMin() const override { return 0; }
    int actuatorMax() const override { return 4095; }
    void setActuatorValue(int v) override
    {
        if (v < 0 || v > 4095)
            tervalo::raiseError(tervalo::RuntimeError::InvalidPropertyValue, "actuator");
        actuator = v;
        plant = tervalo::SimulatedPlant::output(v).value();
    }
    void ruleTexts(std::array<std::string, 49> &out) const override { out = rules; }
    void showRuleCells(const std::array<tervalo::RuleShade, 49> &) override { }
    void setAnimation(bool) override { }
};

void engineCycles(benchmark::State &state, bool fuzzy, bool recording)
{
    BareHost host;
    host.sel.simulation = true;
    host.sel.fuzzy = fuzzy;
    if (!fuzzy)
        host.sel.law = tervalo::ClassicLaw::PID;
    const auto &names = tervalo::Terms::names(tervalo::Terms::English);
    for (int i = 0; i < 49; ++i)
        host.rules[static_cast<std::size_t>(i)] =
            names[static_cast<std::size_t>(tervalo::FuzzyController::defaultListIndex(i))];
    tervalo::ExperimentState s;
    s.setTermNames({names[0], names[1], names[2], names[3], names[4], names[5], names[6]});
    s.reference = 1000;
    s.controlReference = 1000;
    s.errorDeltaRange = 500;
    s.outputDeltaRange = 100;
    s.kp = 0.1f;
    s.ki = 0.3f;
    s.kd = 0.02f;
    tervalo::ControlCycle cycle;
    tervalo::RunRecorder recorder;
    if (recording) {
        cycle.addObserver(&recorder);
        recorder.start({});
    }
    for (auto _ : state) {
        cycle.run(s, host);
        if (recording)
            keepRoom(state, recorder);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_EngineCycle_PID(benchmark::State &state)
{
    engineCycles(state, false, false);
}
void BM_EngineCycle_Fuzzy(benchmark::State &state)
{
    engineCycles(state, true, false);
}
void BM_EngineCycle_PID_Recording(benchmark::State &state)
{
    engineCycles(state, false, true);
}
void BM_EngineCycle_Fuzzy_Recording(benchmark::State &state)
{
    engineCycles(state, true, true);
}

BENCHMARK(BM_EngineCycle_PID);
BENCHMARK(BM_EngineCycle_PID_Recording);
BENCHMARK(BM_EngineCycle_Fuzzy);
BENCHMARK(BM_EngineCycle_Fuzzy_Recording);

} // namespace

int main(int argc, char **argv)
{
    return tervalo::bench::qtBenchmarkMain(argc, argv);
}
