#pragma once
// The five classic controller panels of the main window, in one table: the
// option button, the panel, the law, the gain scroll bars with their ranges
// and range labels, the gain readouts with their prefixes, the output readout
// and the graph captions. The window, its handlers and the headless simulator
// all read it; a gain range or a caption is changed here and nowhere else.

#include "engine/ClassicController.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>

namespace tervalo {

enum class Gain { Kp, Ki, Kd };

struct GainSlider {
    Gain gain;
    const char *bar;        // the scroll bar; its value is the gain x 1000
    int max;                // the bar's maximum (its minimum is 0)
    const char *rangeLabel; // the text under or beside the bar's right end
    const char *readout;    // the label showing "Kp= 0.5"
};

struct ClassicPanel {
    ClassicLaw law;
    const char *name;   // "P", "I", "PI", "PD", "PID"
    const char *option; // the option button selecting the law
    const char *panel;  // the frame brought to the front
    const char *output; // the readout of the actuator value, "U= 1234"
    std::size_t sliderCount;
    // In the order the selection handler sets them from the shared gains.
    std::array<GainSlider, 3> sliders;
    // P's handler first shows the bar's value in its readout.
    bool readoutFirst;
};

class ClassicPanels {
public:
    static const std::array<ClassicPanel, 5> &all();
    static const ClassicPanel &of(ClassicLaw law);
    // nullptr when no panel has that name / bar
    static const ClassicPanel *named(const std::string &name);
    static const GainSlider *slider(const std::string &bar);

    // "Kp= ", "Ki= ", "Kd= ": the prefix of a gain's readout and caption.
    static const char *prefix(Gain g);
    static const char *name(Gain g); // "kp", "ki", "kd"
    // A bar holds a gain x 1000, in steps of 0.001: the bar's value of a gain
    // (to the nearest step), the gain of a bar's value, and the bar's value
    // of a gain that lies on the steps (within 1e-6), nothing otherwise.
    // (a gain beyond any int reads as the int's limit on its side, NaN above)
    static int toBar(double gain);
    static double fromBar(int value) { return value / 1000.0; }
    static std::optional<int> onBarSteps(double gain);
    // The gains a law's graph captions show, in caption order (Graph4..6).
    static std::size_t captionGains(ClassicLaw law, std::array<Gain, 3> &out);
};

} // namespace tervalo
