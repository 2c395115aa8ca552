#include "engine/RunRecord.h"

#include <algorithm>
#include <ctime>

namespace tervalo {

void RunRecord::keepFirst(std::size_t rows)
{
    if (rows >= rows_.size())
        return;
    const auto lastCycle = rows == 0 ? std::int64_t(0) : rows_[rows - 1].cycle;
    rows_.resize(rows);
    samples_.resize(rows);
    dropped_ = 0; // the rows past the bound were after these
    auto &loads = settings_.loadChanges;
    loads.erase(
        std::remove_if(loads.begin(), loads.end(), [&](const LoadChange &c) { return c.cycle > lastCycle + 1; }),
        loads.end());
}

const std::array<RunColumnInfo, kRunColumnCount> kRunColumns = {{
    {RunColumn::Cycle, "cycle"},
    {RunColumn::Time, "time_s"},
    {RunColumn::Reference, "reference"},
    {RunColumn::Output, "output"},
    {RunColumn::Error, "error"},
    {RunColumn::Actuator, "actuator"},
    {RunColumn::FuzzyStep, "fuzzy_step"},
    {RunColumn::PPart, "p_part"},
    {RunColumn::IPart, "i_part"},
    {RunColumn::DPart, "d_part"},
}};

const char *runModeName(RunMode m)
{
    switch (m) {
    case RunMode::OpenLoop: return "open";
    case RunMode::Kit: return "kit";
    case RunMode::Simulation: return "simulation";
    }
    return "";
}

const char *runControllerName(RunController c)
{
    switch (c) {
    case RunController::P: return "P";
    case RunController::I: return "I";
    case RunController::PI: return "PI";
    case RunController::PD: return "PD";
    case RunController::PID: return "PID";
    case RunController::Fuzzy: return "fuzzy";
    }
    return "";
}

std::optional<RunMode> runModeNamed(const std::string &name)
{
    for (RunMode m : {RunMode::OpenLoop, RunMode::Kit, RunMode::Simulation})
        if (name == runModeName(m))
            return m;
    return std::nullopt;
}

std::optional<RunController> runControllerNamed(const std::string &name)
{
    for (RunController c : {RunController::P, RunController::I, RunController::PI, RunController::PD,
                            RunController::PID, RunController::Fuzzy})
        if (name == runControllerName(c))
            return c;
    return std::nullopt;
}

double columnValue(const RunRow &row, RunColumn c)
{
    switch (c) {
    case RunColumn::Cycle: return static_cast<double>(row.cycle);
    case RunColumn::Time: return row.time_s();
    case RunColumn::Reference: return row.reference;
    case RunColumn::Output: return row.y;
    case RunColumn::Error: return row.e;
    case RunColumn::Actuator: return row.u;
    case RunColumn::FuzzyStep: return row.du;
    case RunColumn::PPart: return row.p;
    case RunColumn::IPart: return row.i;
    case RunColumn::DPart: return row.d;
    }
    return 0;
}

void setColumnValue(RunRow &row, RunColumn c, double v)
{
    switch (c) {
    case RunColumn::Cycle: row.cycle = static_cast<std::int64_t>(v); break;
    case RunColumn::Time: break; // follows from the cycle
    case RunColumn::Reference: row.reference = v; break;
    case RunColumn::Output: row.y = v; break;
    case RunColumn::Error: row.e = v; break;
    case RunColumn::Actuator: row.u = v; break;
    case RunColumn::FuzzyStep: row.du = v; break;
    case RunColumn::PPart: row.p = v; break;
    case RunColumn::IPart: row.i = v; break;
    case RunColumn::DPart: row.d = v; break;
    }
}

std::string utcText(std::chrono::system_clock::time_point t)
{
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

RunRecord::RunRecord(std::size_t capacity) : capacity_(capacity)
{
    rows_.reserve(capacity_);
    samples_.reserve(capacity_);
}

void RunRecord::start(const RunSettings &settings)
{
    rows_.clear();
    samples_.clear();
    settings_ = settings;
    settings_.loadChanges.reserve(64);
    dropped_ = 0;
    running_ = true;
    started_ = true;
    ++runNumber_;
}

StepFigures RunRecord::figures() const
{
    return figures(0, samples_.size());
}

StepFigures RunRecord::figures(std::size_t begin, std::size_t end) const
{
    if (end > samples_.size())
        end = samples_.size();
    if (begin > end)
        begin = end;
    return computeStepFigures(samples_.data() + begin, end - begin, settings_.actuatorMin, settings_.actuatorMax);
}

RunRecord RunRecord::part(std::size_t begin, std::size_t end) const
{
    end = std::min(end, rows_.size());
    begin = std::min(begin, end);
    RunRecord p(end - begin);
    p.rows_.assign(rows_.begin() + static_cast<std::ptrdiff_t>(begin),
                   rows_.begin() + static_cast<std::ptrdiff_t>(end));
    p.samples_.assign(samples_.begin() + static_cast<std::ptrdiff_t>(begin),
                      samples_.begin() + static_cast<std::ptrdiff_t>(end));
    p.settings_ = settings_;
    p.dropped_ = dropped_;
    p.started_ = started_;
    p.runNumber_ = runNumber_;
    return p;
}

std::vector<RunRecord::StretchFigures> RunRecord::stretchFigures() const
{
    std::vector<StretchFigures> out;
    // the row each load change first acts on
    std::vector<std::size_t> breaks;
    std::vector<int> loads;
    for (const LoadChange &c : settings_.loadChanges) {
        const auto at = std::lower_bound(rows_.begin(), rows_.end(), c.cycle,
                                         [](const RunRow &r, std::int64_t cycle) { return r.cycle < cycle; });
        if (at != rows_.end() && at != rows_.begin()) {
            breaks.push_back(static_cast<std::size_t>(at - rows_.begin()));
            loads.push_back(c.to);
        }
    }
    std::vector<StepSample> rows;
    for (const Stretch &s : eventStretches(samples_.data(), samples_.size(), breaks)) {
        StretchFigures f;
        f.firstCycle = rows_[s.begin].cycle;
        f.lastCycle = rows_[s.end - 1].cycle;
        f.reference = s.reference;
        const auto load = std::find(breaks.begin(), breaks.end(), s.begin);
        if (load != breaks.end())
            f.load = loads[static_cast<std::size_t>(load - breaks.begin())];
        rows.assign(samples_.begin() + static_cast<std::ptrdiff_t>(s.begin),
                    samples_.begin() + static_cast<std::ptrdiff_t>(s.end));
        for (std::size_t r = 0; r < rows.size(); ++r)
            rows[r].time_s = static_cast<double>(rows_[s.begin + r].cycle - f.firstCycle + 1) / kCyclesPerSecond;
        f.figures = computeStepFigures(rows, settings_.actuatorMin, settings_.actuatorMax);
        out.push_back(f);
    }
    return out;
}

} // namespace tervalo
