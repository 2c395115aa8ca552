#pragma once
// How each signal looks in every window's plot: the colours of the main
// window's graph (the reference red, the output Y blue, the error E green),
// and one of their own for the actuator U, its limits, the stretches it sat
// at one, and a fitted model's prediction; and the axes' round ticks.

#include "engine/PlotThinning.h"

#include <QColor>
#include <QPen>
#include <QValueAxis>

namespace tervalo::look {

inline QColor reference()
{
    return QColor(200, 0, 0);
}
inline QColor output()
{
    return QColor(0, 0, 200);
}
inline QColor error()
{
    return QColor(0, 140, 0);
}
inline QColor actuator()
{
    return QColor(120, 60, 160);
}
inline QColor actuatorLimit()
{
    return QColor(110, 110, 110);
}
inline QColor saturated()
{
    return QColor(255, 170, 0, 60);
}
inline QColor model()
{
    return QColor(230, 120, 0);
}

// Ticks at round values (engine/niceTickStep), one at 0 where the axis
// holds it.
inline void roundTicks(QValueAxis *axis)
{
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(niceTickStep(axis->max() - axis->min()));
}

} // namespace tervalo::look
