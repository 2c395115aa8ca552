#pragma once
// What the instructor reads off a class's runs: the spread of a figure over
// the class with its outliers, the tries and time each student gave an
// experiment, and each kit's identified gain and time constant over the term
// with a drift from its first identification marked.

#include "engine/PlantIdentification.h"
#include "engine/RunRecord.h"
#include "engine/StepFigures.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tervalo {

// A box plot's numbers. Quartiles interpolate between the sorted values
// (the median of an even count is the mean of the middle two); a value
// further than 1.5 interquartile ranges from its quartile is an outlier, and
// each whisker ends at the furthest value that is not.
struct BoxStats {
    std::size_t count = 0; // values that are numbers (NaN is not available)
    double q1 = 0, median = 0, q3 = 0;
    double lowWhisker = 0, highWhisker = 0;
    std::vector<std::size_t> outliers; // indices into the values given, in their order
};
BoxStats boxStats(const std::vector<double> &values);

// One run as the class statistics see it.
struct ClassRunFacts {
    std::string student;
    double startS = 0;    // seconds since the epoch
    double durationS = 0; // the run's own length
};

// Tries and time on task of one student at one experiment. Runs less than
// a sitting gap apart (from one's end to the next one's start) belong to one
// sitting; the time on task is the sum of the sittings, each from its first
// start to its last end.
struct StudentEffort {
    std::string student;
    int tries = 0;
    int sittings = 0;
    double timeOnTaskS = 0;
    double firstStartS = 0, lastEndS = 0;
};
constexpr double kSittingGapS = 15 * 60;
// One line a student, by name; runs in any order.
std::vector<StudentEffort> effortPerStudent(const std::vector<ClassRunFacts> &runs, double sittingGapS = kSittingGapS);

// A kit's identifications by bump test, in time order, and how far each is
// from the first: a kit whose gain or time constant moved more than the
// limit (10 %) from its first identification is drifting.
struct KitIdentification {
    double atS = 0;          // the bump test's start, seconds since the epoch
    double gain = 0;         // rpm per actuator unit
    double timeConstant = 0; // s
};
struct KitDrift {
    std::vector<KitIdentification> series;            // by time
    std::vector<double> gainDrift, timeConstantDrift; // share of the first, signed
    std::vector<bool> beyondLimit;                    // either share's size over the limit
    bool drifting = false;                            // any identification beyond it
};
constexpr double kKitDriftLimit = 0.10;
KitDrift kitDrift(std::vector<KitIdentification> identifications, double limit = kKitDriftLimit);

// A stored bump test's step response read back from its rows: the actuator
// held at the first row's value, then stepped once. Nothing when the rows
// hold no such step.
std::optional<StepResponse> stepResponseOf(const RunRecord &record);
// The model of a stored bump test, fitted again from its rows (the kit's
// count resolution on the kit and emulated kit, 1 in simulation).
Identification identifyStoredBumpTest(const RunRecord &record);

} // namespace tervalo
