#pragma once
// The texts every window of the lab shows alike, in both languages: the
// figures' names, why a figure is not available, and "no run yet".

#include "engine/RunRecord.h"
#include "engine/StepFigures.h"

#include <QString>

namespace tervalo {

struct LabTexts {
    static QString figure(Metric m, bool english);
    static QString reason(FigureReason r, bool english);
    static QString noRun(bool english);
    // A run's mode and the fuzzy controller by the names the main window's
    // options give them ("Feedback Simulation", "Fuzzy Logic").
    static QString modeName(RunMode mode, bool english);
    static QString fuzzyName(bool english);
    // The unit of the output Y: rpm on the kit, volts in simulation.
    static QString outputUnit(bool simulation, bool english);
    // A figure's unit ("s", "%", "rpm·s", ...; none for actuator units).
    static QString figureUnit(Metric m, bool simulation, bool english);
    // A figure as every table shows it: three significant digits and its
    // unit ("0.632 s", "1010 rpm"); the whole value goes in the tooltip.
    static QString figureValue(Metric m, double value, bool simulation, bool english);
    // A figure a run does not give: "n/a".
    static QString notAvailable(bool english);
    // A value to three significant digits as the tables show it, never in
    // exponent form and never rounding the whole part away (0.6318 is
    // "0.632", 24 "24.0", 1013 "1013").
    static QString significant(double value, int digits = 3);
};

} // namespace tervalo
