#include "engine/PlotThinning.h"

#include <algorithm>
#include <cmath>

namespace tervalo {

double niceTickStep(double span, int ticks)
{
    if (!(span > 0) || ticks < 1)
        return 1;
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * power >= raw * (1 - 1e-9))
            return m * power;
    return 10 * power;
}

std::size_t plotStride(std::size_t rows, std::size_t buckets)
{
    std::size_t stride = 1;
    while (buckets > 0 && rows > buckets * stride)
        stride *= 2;
    return stride;
}

void ThinnedTrace::add(double t, double v)
{
    last_ = {t, v};
    if (!open_) {
        low_ = high_ = last_;
        open_ = true;
    } else if (v < low_.v) {
        low_ = last_;
    } else if (v > high_.v) {
        high_ = last_;
    }
}

void ThinnedTrace::appendBucket(std::vector<PlotPoint> &out, bool withLast) const
{
    if (!open_)
        return;
    PlotPoint p[3] = {low_, high_, last_};
    const int n = withLast ? 3 : 2;
    std::sort(p, p + n, [](const PlotPoint &a, const PlotPoint &b) { return a.t < b.t; });
    for (int k = 0; k < n; ++k)
        if (k == 0 || p[k].t != p[k - 1].t)
            out.push_back(p[k]);
}

void ThinnedTrace::appendOpen(std::vector<PlotPoint> &out) const
{
    if (open_)
        appendBucket(out, true);
    else if (!out.empty() && last_.t > out.back().t)
        out.push_back(last_);
}

void ThinnedTrace::close()
{
    appendBucket(done_, false);
    open_ = false;
}

bool SaturatedStretches::add(long long k, double t, bool saturated, std::size_t bridge)
{
    if (!saturated)
        return false;
    if (last_ >= 0 && k - last_ <= static_cast<long long>(bridge))
        spans_.back().to = t + half_;
    else
        spans_.push_back({t - half_, t + half_});
    last_ = k;
    return true;
}

} // namespace tervalo
