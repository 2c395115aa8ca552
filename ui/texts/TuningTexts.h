#pragma once
// The texts of the control-surface and tuning windows, English and Turkish,
// in one table.

#include <QString>

namespace tervalo {

enum class TuneText {
    // the control surface
    SurfaceMenu,
    SurfaceTitle,
    ErrorAxis,
    DeltaAxis,
    OutputScale,
    SavePng,
    SaveCsv,
    Saved,
    SaveFailed,
    SurfaceFailed,
    LastCycle,
    // the tuning window
    TuneMenu,
    TuneTitle,
    Plant,
    PlantSimulation,
    PlantKit,
    U1,
    U2,
    SteadyBand,
    SteadyBandTip,
    StartBump,
    BumpRunning,
    BumpDone,
    BumpStopped,
    Busy,
    Model,
    Gain,
    TimeConstant,
    DeadTime,
    Offset,
    Rmse,
    NeverSettled,
    StepTooSmall,
    Unfittable,
    BadSettings,
    TryLarger,
    Measured,
    Fitted,
    Residual,
    TimeFromStep,
    Speed,
    ResidualAxis,
    Law,
    OvershootLimit,
    Suggest,
    NoModel,
    NoSuggestion,
    Apply,
    Run,
    Predicted,
    RunMeasured,
    Time,
    Figure,
    Value,
    Applied,
    GainAtZero, // %1 the gain, %2 the law the others make
    GainAtMax,  // %1 the gain, %2 its bar's maximum
    Count
};

QString tuneText(TuneText t, bool english);

} // namespace tervalo
