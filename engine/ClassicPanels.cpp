#include "engine/ClassicPanels.h"

#include <cmath>
#include <limits>

namespace tervalo {

namespace {
constexpr GainSlider kUnused{Gain::Kp, "", 0, "", ""};
} // namespace

const std::array<ClassicPanel, 5> &ClassicPanels::all()
{
    static const std::array<ClassicPanel, 5> panels = {{
        {ClassicLaw::P,
         "P",
         "Pcontrol",
         "Pdenetim",
         "Label46",
         1,
         {{{Gain::Kp, "Slider2", 1200, "1.2", "Label40"}, kUnused, kUnused}},
         true},
        {ClassicLaw::I,
         "I",
         "Icontrol",
         "Idenetim",
         "Label50",
         1,
         {{{Gain::Ki, "Slider3", 5000, "5", "Label49"}, kUnused, kUnused}},
         false},
        {ClassicLaw::PI,
         "PI",
         "PIcontrol",
         "PIdenetim",
         "Label54",
         2,
         {{{Gain::Kp, "Slider4", 1000, "1", "Label64"}, {Gain::Ki, "Slider5", 3000, "3", "Label61"}, kUnused}},
         false},
        {ClassicLaw::PD,
         "PD",
         "PDcontrol",
         "PDdenetim",
         "Label13",
         2,
         {{{Gain::Kp, "Slider12", 200, "0.2", "Label14"}, {Gain::Kd, "Slider13", 100, "0.1", "Label10"}, kUnused}},
         false},
        {ClassicLaw::PID,
         "PID",
         "PIDcontrol",
         "PIDDenetim",
         "Label5",
         3,
         {{{Gain::Kp, "Slider6", 200, "0 to 0.2", "Label6"},
           {Gain::Kd, "Slider7", 100, "0 to 0.1", "Label9"},
           {Gain::Ki, "Slider8", 500, "0  to 0.5", "Label3"}}},
         false},
    }};
    return panels;
}

const ClassicPanel &ClassicPanels::of(ClassicLaw law)
{
    for (const ClassicPanel &p : all())
        if (p.law == law)
            return p;
    return all()[0];
}

const ClassicPanel *ClassicPanels::named(const std::string &name)
{
    for (const ClassicPanel &p : all())
        if (name == p.name)
            return &p;
    return nullptr;
}

const GainSlider *ClassicPanels::slider(const std::string &bar)
{
    for (const ClassicPanel &p : all())
        for (std::size_t i = 0; i < p.sliderCount; ++i)
            if (bar == p.sliders[i].bar)
                return &p.sliders[i];
    return nullptr;
}

const char *ClassicPanels::prefix(Gain g)
{
    switch (g) {
    case Gain::Kp: return "Kp= ";
    case Gain::Ki: return "Ki= ";
    case Gain::Kd: return "Kd= ";
    }
    return "";
}

const char *ClassicPanels::name(Gain g)
{
    switch (g) {
    case Gain::Kp: return "kp";
    case Gain::Ki: return "ki";
    case Gain::Kd: return "kd";
    }
    return "";
}

std::size_t ClassicPanels::captionGains(ClassicLaw law, std::array<Gain, 3> &out)
{
    // Kp, then Ki, then Kd, as far as the law has them.
    const ClassicPanel &p = of(law);
    std::size_t n = 0;
    for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd})
        for (std::size_t i = 0; i < p.sliderCount; ++i)
            if (p.sliders[i].gain == g)
                out[n++] = g;
    return n;
}

int ClassicPanels::toBar(double gain)
{
    const double v = std::round(gain * 1000);
    if (!(std::fabs(v) < 2e9))
        return v < 0 ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

std::optional<int> ClassicPanels::onBarSteps(double gain)
{
    const double scaled = gain * 1000;
    const double whole = std::nearbyint(scaled);
    if (!std::isfinite(scaled) || std::fabs(scaled - whole) > 1e-6 || std::fabs(whole) > 1e9)
        return std::nullopt;
    return static_cast<int>(whole);
}

} // namespace tervalo
