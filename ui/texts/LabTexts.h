#pragma once
// The texts every window of the lab shows alike, in both languages: the
// figures' names, why a figure is not available, and "no run yet".

#include "engine/StepFigures.h"

#include <QString>

namespace tervalo {

struct LabTexts {
    static QString figure(Metric m, bool english);
    static QString reason(FigureReason r, bool english);
    static QString noRun(bool english);
    // The unit of the output Y: rpm on the kit, volts in simulation.
    static QString outputUnit(bool simulation, bool english);
    // A figure a run does not give: "n/a".
    static QString notAvailable(bool english);
    // A value to three significant digits as the tables show it, never in
    // exponent form (1013 is "1010", 0.6318 "0.632", 24 "24.0").
    static QString significant(double value, int digits = 3);
};

} // namespace tervalo
