#pragma once
// Records a run as a watcher of the control cycle: started with the run's
// settings at START, it appends one row per finished cycle until STOP, and
// notes the moves of the load slider with the cycle they first act on. The
// record stays after STOP until the next start().
//
// Appending never allocates: the record's rows are reserved when it is made.

#include "engine/ControlCycle.h"
#include "engine/RunRecord.h"

#include <cstdint>
#include <functional>

namespace tervalo {

class RunRecorder : public CycleObserver {
public:
    explicit RunRecorder(std::size_t capacity = RunRecord::kDefaultCapacity) : record_(capacity) { }

    const RunRecord &record() const { return record_; }

    void start(const RunSettings &settings);
    void stop() { record_.stop(); }
    // See RunRecord::keepFirst.
    void keepFirst(std::size_t rows) { record_.keepFirst(rows); }
    // The load slider moved from `from` to `to` between two cycles of a
    // running run; ignored outside a run.
    void loadMoved(int from, int to);

    void cycleDone(const ExperimentState &state, const CycleSample &sample) override;

    // The row of one cycle: `cycle` counts from 1 at START. The fuzzy step is
    // kept when the fuzzy controller is selected in a closed loop, the law's
    // parts when a classic law ran; the rest is NaN.
    static RunRow rowOf(const CycleSample &sample, std::int64_t cycle, bool closedLoop);

    // Called after every row appended (a window following the run).
    std::function<void()> onRow;

private:
    RunRecord record_;
    std::int64_t cycles_ = 0; // cycles since START
};

} // namespace tervalo
