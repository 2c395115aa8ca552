#include "engine/RunRecorder.h"

namespace tervalo {

void RunRecorder::start(const RunSettings &settings)
{
    cycles_ = 0;
    record_.start(settings);
}

void RunRecorder::loadMoved(int from, int to)
{
    if (!record_.running() || from == to)
        return;
    record_.addLoadChange({cycles_ + 1, from, to});
}

RunRow RunRecorder::rowOf(const CycleSample &sample, std::int64_t cycle, bool closedLoop)
{
    RunRow row;
    row.cycle = cycle;
    row.reference = sample.reference;
    row.y = static_cast<double>(sample.y);
    row.e = static_cast<double>(sample.e);
    row.u = sample.u;
    if (sample.fuzzy && closedLoop)
        row.du = sample.du;
    if (sample.hasP)
        row.p = static_cast<double>(sample.p);
    if (sample.hasI)
        row.i = static_cast<double>(sample.i);
    if (sample.hasD)
        row.d = static_cast<double>(sample.d);
    return row;
}

void RunRecorder::cycleDone(const ExperimentState &, const CycleSample &sample)
{
    if (!record_.running())
        return;
    ++cycles_;
    record_.append(rowOf(sample, cycles_, record_.settings().mode != RunMode::OpenLoop));
    if (onRow)
        onRow();
}

} // namespace tervalo
