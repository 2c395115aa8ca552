#include "engine/ClassStatistics.h"

#include "engine/TuningPlan.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tervalo {

namespace {

// The value at share p of the sorted values, between neighbours.
double quantile(const std::vector<double> &sorted, double p)
{
    const double at = p * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(at));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (at - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

} // namespace

BoxStats boxStats(const std::vector<double> &values)
{
    BoxStats b;
    std::vector<double> sorted;
    sorted.reserve(values.size());
    for (double v : values)
        if (std::isfinite(v))
            sorted.push_back(v);
    b.count = sorted.size();
    if (sorted.empty())
        return b;
    std::sort(sorted.begin(), sorted.end());
    b.q1 = quantile(sorted, 0.25);
    b.median = quantile(sorted, 0.5);
    b.q3 = quantile(sorted, 0.75);
    const double reach = 1.5 * (b.q3 - b.q1);
    const double lowFence = b.q1 - reach, highFence = b.q3 + reach;
    b.lowWhisker = b.q1;
    b.highWhisker = b.q3;
    for (double v : sorted)
        if (v >= lowFence) {
            b.lowWhisker = std::min(v, b.q1);
            break;
        }
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it)
        if (*it <= highFence) {
            b.highWhisker = std::max(*it, b.q3);
            break;
        }
    for (std::size_t i = 0; i < values.size(); ++i)
        if (std::isfinite(values[i]) && (values[i] < lowFence || values[i] > highFence))
            b.outliers.push_back(i);
    return b;
}

std::vector<StudentEffort> effortPerStudent(const std::vector<ClassRunFacts> &runs, double sittingGapS)
{
    std::map<std::string, std::vector<const ClassRunFacts *>> byStudent;
    for (const ClassRunFacts &r : runs)
        byStudent[r.student].push_back(&r);
    std::vector<StudentEffort> out;
    out.reserve(byStudent.size());
    for (auto &[student, list] : byStudent) {
        std::sort(list.begin(), list.end(),
                  [](const ClassRunFacts *a, const ClassRunFacts *b) { return a->startS < b->startS; });
        StudentEffort e;
        e.student = student;
        e.tries = static_cast<int>(list.size());
        e.firstStartS = list.front()->startS;
        double sittingStart = list.front()->startS;
        double sittingEnd = sittingStart + std::max(0.0, list.front()->durationS);
        e.sittings = 1;
        for (std::size_t i = 1; i < list.size(); ++i) {
            const double start = list[i]->startS;
            const double end = start + std::max(0.0, list[i]->durationS);
            if (start - sittingEnd > sittingGapS) {
                e.timeOnTaskS += sittingEnd - sittingStart;
                ++e.sittings;
                sittingStart = start;
            }
            sittingEnd = std::max(sittingEnd, end);
        }
        e.timeOnTaskS += sittingEnd - sittingStart;
        e.lastEndS = sittingEnd;
        out.push_back(std::move(e));
    }
    return out;
}

KitDrift kitDrift(std::vector<KitIdentification> identifications, double limit)
{
    KitDrift d;
    std::stable_sort(identifications.begin(), identifications.end(),
                     [](const KitIdentification &a, const KitIdentification &b) { return a.atS < b.atS; });
    d.series = std::move(identifications);
    if (d.series.empty())
        return d;
    const KitIdentification &first = d.series.front();
    const auto share = [](double v, double of) { return of != 0 ? (v - of) / std::fabs(of) : 0.0; };
    for (const KitIdentification &k : d.series) {
        const double g = share(k.gain, first.gain);
        const double t = share(k.timeConstant, first.timeConstant);
        d.gainDrift.push_back(g);
        d.timeConstantDrift.push_back(t);
        const bool beyond = std::fabs(g) > limit || std::fabs(t) > limit;
        d.beyondLimit.push_back(beyond);
        d.drifting = d.drifting || beyond;
    }
    return d;
}

std::optional<StepResponse> stepResponseOf(const RunRecord &record)
{
    const std::vector<RunRow> &rows = record.rows();
    if (rows.size() < 3)
        return std::nullopt;
    // A row holds the actuator value its cycle left: the first row with a
    // new value is the cycle that set U2, whose speed still came of U1.
    const double u1 = rows.front().u;
    std::size_t step = 0;
    while (step < rows.size() && rows[step].u == u1)
        ++step;
    if (step == rows.size())
        return std::nullopt;
    StepResponse r;
    r.u1 = static_cast<int>(u1);
    r.u2 = static_cast<int>(rows[step].u);
    for (std::size_t i = 0; i <= step; ++i)
        r.before.push_back(rows[i].y);
    for (std::size_t i = step + 1; i < rows.size(); ++i) {
        if (rows[i].u != rows[step].u)
            break; // a second step: the response ends before it
        r.after.push_back(rows[i].y);
    }
    if (r.after.empty())
        return std::nullopt;
    return r;
}

Identification identifyStoredBumpTest(const RunRecord &record)
{
    const std::optional<StepResponse> response = stepResponseOf(record);
    if (!response) {
        Identification none;
        none.status = BumpStatus::Unfittable;
        none.reason = "the run holds no step of the actuator";
        return none;
    }
    return fitStepResponse(*response, fitSettingsFor(record.settings().mode != RunMode::Simulation));
}

} // namespace tervalo
