// Cost of the slider's mouse handling: a pointer move that leaves the value
// alone (no drawing) and one that changes it (one redraw of the surface), on
// a slider as the main window holds it.
#include "bench/BenchSupport.h"
#include "controls/common/PropertyBag.h"
#include "controls/slider/Myslider.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace tervalo;

namespace {

std::unique_ptr<Myslider> mainWindowSlider()
{
    PropertyBag bag;
    bag.WriteProperty("BackColor", QVariant::fromValue<quint32>(0x00FF8080u));
    bag.WriteProperty("Orientation", 0);
    bag.WriteProperty("RailStyle", 99);
    bag.WriteProperty("ShowValueTip", false);
    bag.WriteProperty("SliderIcon", QVariant::fromValue(Myslider::uprightThumb()));
    bag.WriteProperty("Max", 1000);
    auto s = std::make_unique<Myslider>();
    s->resize(200, 16);
    s->ReadProperties(bag);
    return s;
}

void BM_MoveWithoutValueChange(benchmark::State &state)
{
    auto s = mainWindowSlider();
    s->UserControl_MouseDown(1, 0, 4, 8);
    float x = 4;
    for (auto _ : state) {
        x = x == 4 ? 4.05f : 4; // well inside one value step
        s->UserControl_MouseMove(1, 0, x, 8);
    }
    s->UserControl_MouseUp(1, 0, x, 8);
}
BENCHMARK(BM_MoveWithoutValueChange);

void BM_MoveWithValueChange(benchmark::State &state)
{
    auto s = mainWindowSlider();
    s->UserControl_MouseDown(1, 0, 4, 8);
    float x = 4;
    for (auto _ : state) {
        x = x == 4 ? 100 : 4;
        s->UserControl_MouseMove(1, 0, x, 8);
    }
    s->UserControl_MouseUp(1, 0, x, 8);
}
BENCHMARK(BM_MoveWithValueChange);

} // namespace

int main(int argc, char **argv)
{
    return tervalo::bench::qtBenchmarkMain(argc, argv);
}
