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
};

} // namespace tervalo
