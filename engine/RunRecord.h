#pragma once
// The record of one run: from START to STOP every control cycle appends one
// row, and the run's settings are kept beside the rows. The record lives in
// memory until the next START clears it.
//
// Bound: capacity() rows (by default 72,000, four hours of 0.2 s cycles), all
// reserved when the record is made, so append() never allocates. Rows past
// the bound are not kept: they are counted in droppedRows() and the record
// reads as truncated; the rows kept are the first capacity() of the run.

#include "engine/StepFigures.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace tervalo {

enum class RunMode { OpenLoop, Kit, Simulation };
enum class RunController { P, I, PI, PD, PID, Fuzzy };

// Machine names: "open", "kit", "simulation"; "P" ... "PID", "fuzzy".
const char *runModeName(RunMode m);
const char *runControllerName(RunController c);
// The other way round; nothing for a name that is none of them.
std::optional<RunMode> runModeNamed(const std::string &name);
std::optional<RunController> runControllerNamed(const std::string &name);

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// One control cycle. Values a cycle does not have (the fuzzy step of a classic
// run, the law's parts of a fuzzy or open-loop run) are NaN.
struct RunRow {
    std::int64_t cycle = 0;                          // 1 for the first cycle after START
    double reference = 0;                            // R
    double y = 0;                                    // plant output Y
    double e = 0;                                    // error E = R - Y
    double u = 0;                                    // actuator value after the controller
    double du = kNoValue;                            // fuzzy output step dU
    double p = kNoValue, i = kNoValue, d = kNoValue; // the classic law's parts, unrounded

    // time since START: cycle x 0.2 s
    double time_s() const { return static_cast<double>(cycle) / kCyclesPerSecond; }
};

// Columns of the record in file order, with their machine names.
enum class RunColumn { Cycle, Time, Reference, Output, Error, Actuator, FuzzyStep, PPart, IPart, DPart };

struct RunColumnInfo {
    RunColumn column;
    const char *name;
};

constexpr std::size_t kRunColumnCount = 10;

// The one list of columns: cycle, time_s, reference, output, error, actuator,
// fuzzy_step, p_part, i_part, d_part.
extern const std::array<RunColumnInfo, kRunColumnCount> kRunColumns;

// The value of a column in a row (the cycle and time as doubles).
double columnValue(const RunRow &row, RunColumn c);
// The other way round, as a stored row is read back (the time follows from
// the cycle and is not set).
void setColumnValue(RunRow &row, RunColumn c, double v);

struct LoadChange {
    std::int64_t cycle = 0; // the cycle the new load first acts on
    int from = 0, to = 0;
};

struct RunSettings {
    std::chrono::system_clock::time_point start{}; // wall-clock time of START
    RunMode mode = RunMode::Simulation;
    RunController controller = RunController::P;
    // gains of the classic law (NaN for a gain the law has no slider for)
    double kp = 0, ki = 0, kd = 0;
    // fuzzy: divisors of the error-change and output-step ranges, the three
    // ranges, and the texts of the 49 rule cells as the student left them,
    // with the seven term names of the language they are written in
    int errorDivisor = 0, outputDivisor = 0;
    int errorRange = 0, deltaRange = 0, outputRange = 0;
    std::array<std::string, 49> rules{};
    std::array<std::string, 7> termNames{};
    int reference = 0;
    int actuatorMin = 0, actuatorMax = 4095;
    int load = 0; // load slider at START (simulation)
    std::vector<LoadChange> loadChanges;

    bool fuzzy() const { return controller == RunController::Fuzzy; }
};

// "2026-12-10T04:22:14Z"
std::string utcText(std::chrono::system_clock::time_point t);

class RunRecord {
public:
    static constexpr std::size_t kDefaultCapacity = 72000;

    explicit RunRecord(std::size_t capacity = kDefaultCapacity);

    // START: forget the previous run, keep the reserved room.
    void start(const RunSettings &settings);
    // STOP: the run is over; the rows stay until the next start().
    void stop() { running_ = false; }
    // STOP as of an earlier moment: only the first `rows` rows are the run's
    // (the cycles that ran while STOP was held down were cut short by it),
    // and the load changes after them go too. Fewer rows than that: nothing.
    void keepFirst(std::size_t rows);

    // One cycle's row; past the bound only counted. Never allocates.
    void append(const RunRow &row) noexcept
    {
        if (rows_.size() == capacity_) {
            ++dropped_;
            return;
        }
        rows_.push_back(row);
        samples_.push_back({row.time_s(), row.reference, row.y, row.e, row.u});
    }

    // A move of the load slider during the run.
    void addLoadChange(const LoadChange &c) { settings_.loadChanges.push_back(c); }

    bool running() const { return running_; }
    bool started() const { return started_; }
    // How many times start() ran: a view of the rows sees a new run by it.
    std::uint64_t runNumber() const { return runNumber_; }
    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    std::size_t capacity() const { return capacity_; }
    std::size_t droppedRows() const { return dropped_; }
    bool truncated() const { return dropped_ > 0; }

    const RunRow &row(std::size_t k) const { return rows_[k]; }
    const std::vector<RunRow> &rows() const { return rows_; }
    // the same rows as the figures read them (time_s, reference, Y, E, U)
    const std::vector<StepSample> &samples() const { return samples_; }
    const RunSettings &settings() const { return settings_; }

    // The figures of all rows, or of rows [begin, end).
    StepFigures figures() const;
    StepFigures figures(std::size_t begin, std::size_t end) const;

    // Rows [begin, end) (cut to the rows there are) as a record of their
    // own, with the run's settings and its count of rows not kept: what a
    // file of those rows shows, to be written away from the cycle.
    RunRecord part(std::size_t begin, std::size_t end) const;

    // The figures of each stretch between events (a reference step, a load
    // change), in order; a stretch's times count from its event (its first
    // row reads one cycle). load: the load from a load change on, -1 for a
    // stretch that begins at a reference step or at START.
    struct StretchFigures {
        std::int64_t firstCycle = 0, lastCycle = 0;
        double reference = 0;
        int load = -1;
        StepFigures figures;
    };
    std::vector<StretchFigures> stretchFigures() const;

private:
    std::size_t capacity_;
    std::vector<RunRow> rows_;
    std::vector<StepSample> samples_;
    RunSettings settings_;
    std::size_t dropped_ = 0;
    bool running_ = false;
    bool started_ = false;
    std::uint64_t runNumber_ = 0;
};

} // namespace tervalo
