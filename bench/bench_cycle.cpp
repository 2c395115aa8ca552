// The control cycle as the window runs it in simulation: measurement,
// readouts, graph, controller and the actuator's change handler, with the
// fuzzy rule table's colouring. Run: build-rel/bench/bench_cycle
#include "controls/graph/Mygraph.h"
#include "plant/EventPump.h"
#include "plant/MemoryPort.h"
#include "ui/Form2.h"
#include "ui/OptionButton.h"
#include "ui/ScrollBar.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdlib>
#include <memory>

namespace {

class IdlePump : public tervalo::EventPump {
public:
    void processEvents() override {}
    void waitForEvents() override {}
};

std::unique_ptr<tervalo::Form2> makeWindow(tervalo::MemoryPort &port, IdlePump &pump, bool fuzzy)
{
    auto form = std::make_unique<tervalo::Form2>(&port, &pump);
    form->showMessage = [](const QString &) {};
    form->quitApplication = [] {};
    form->Form_Load();
    form->simulasyon->setValue(true);
    if (fuzzy) {
        form->Bulanik->setValue(true);
    } else {
        form->PIDcontrol->setValue(true);
        form->Slider6->setValue(100);
        form->Slider7->setValue(20);
        form->Slider8->setValue(300);
    }
    // the state START leaves, without entering the counting loop
    form->reference = 1000;
    form->controlReference = 1000;
    form->errorDeltaRange = 500;
    form->outputDeltaRange = 100;
    return form;
}

void runCycles(benchmark::State &state, bool fuzzy)
{
    tervalo::MemoryPort port;
    IdlePump pump;
    auto form = makeWindow(port, pump, fuzzy);
    for (auto _ : state)
        form->Timer1_Timer();
    state.SetItemsProcessed(state.iterations());
}

void BM_ControlCycle_PID(benchmark::State &state) { runCycles(state, false); }
void BM_ControlCycle_Fuzzy(benchmark::State &state) { runCycles(state, true); }

BENCHMARK(BM_ControlCycle_PID);
BENCHMARK(BM_ControlCycle_Fuzzy);

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
