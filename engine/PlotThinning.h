#pragma once
// A long run drawn with a bounded number of points: its rows are taken in
// buckets of `stride` rows (a power of two, so that at most `buckets`
// buckets cover the run), and each bucket gives its smallest and largest
// value in time order, so that a peak between two pixels still shows. The
// stretches where the actuator sat at a limit are kept as time spans, a gap
// shorter than a bucket bridged.

#include <cstddef>
#include <vector>

namespace tervalo {

struct PlotPoint {
    double t = 0, v = 0;
    bool operator==(const PlotPoint &o) const { return t == o.t && v == o.v; }
};

// The step between an axis's ticks over span: the smallest of 1, 2, 2.5
// and 5 times a power of ten that gives at most `ticks` steps (500 rpm for
// 0..2000, 0.5 s for 0..2 s).
double niceTickStep(double span, int ticks = 5);

// Rows per bucket for a run of `rows` rows drawn in at most `buckets` buckets.
std::size_t plotStride(std::size_t rows, std::size_t buckets);

// One quantity's thinned points, built row by row.
class ThinnedTrace {
public:
    void add(double t, double v);
    // The bucket is full: its points go to done().
    void close();
    // The points of the finished buckets.
    const std::vector<PlotPoint> &done() const { return done_; }
    // The open bucket's points (its smallest, largest and last, in time
    // order), or with no open bucket the newest point when its finished
    // bucket left it out: appended to out, so the trace reaches the newest row.
    void appendOpen(std::vector<PlotPoint> &out) const;

private:
    void appendBucket(std::vector<PlotPoint> &out, bool withLast) const;
    std::vector<PlotPoint> done_;
    PlotPoint low_, high_, last_;
    bool open_ = false;
};

// The time spans where the actuator was at a limit, each row covering its
// cycle (t ± half a cycle); a row at a limit within `bridge` rows of the
// last one extends that span.
struct TimeSpan {
    double from = 0, to = 0;
};
class SaturatedStretches {
public:
    explicit SaturatedStretches(double halfCycle) : half_(halfCycle) { }
    // Row k at time t; saturated: at a limit. True when the spans changed.
    bool add(long long k, double t, bool saturated, std::size_t bridge);
    const std::vector<TimeSpan> &spans() const { return spans_; }
    long long lastSaturated() const { return last_; }
    void clear()
    {
        spans_.clear();
        last_ = -1;
    }

private:
    double half_;
    std::vector<TimeSpan> spans_;
    long long last_ = -1;
};

} // namespace tervalo
