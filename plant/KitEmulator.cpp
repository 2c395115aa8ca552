#include "plant/KitEmulator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace tervalo {

namespace {

constexpr double TwoPi = 6.283185307179586476925286766559;

// A uniform value in (0, 1] from 53 bits of the generator's output; the
// generator's sequence is fixed by the standard, this conversion by us.
double uniform(std::mt19937_64 &g)
{
    return double((g() >> 11) + 1) * 0x1.0p-53;
}

constexpr double Never = std::numeric_limits<double>::infinity();

// Kit time between two re-basings of the solution when there is no noise
// (with noise it is re-based at every new draw).
constexpr std::int64_t RebaseEvery = 1'000'000'000;

// Newton's method stops once its step is below this (seconds): far below
// the microsecond between two reads.
constexpr double ReachTolerance = 1e-12;
constexpr int MostNewtonSteps = 100;

} // namespace

KitEmulator::KitEmulator(KitClock &clock, std::int32_t base) : KitEmulator(clock, base, KitModel()) { }

KitEmulator::KitEmulator(KitClock &clock, std::int32_t base, const KitModel &model)
    : clock_(clock), base_(base), model_(model), rate_(1.0 / model.timeConstant), random_(model.noiseSeed)
{
    if (model_.noiseHold.count() <= 0)
        model_.noiseHold = Model().noiseHold;
    anchorTime_ = clock_.now();
    rebaseEvery_ = model_.noise > 0 ? std::int64_t(model_.noiseHold.count()) : RebaseEvery;
    nextRebase_ = anchorTime_ + rebaseEvery_;
    if (model_.noise > 0)
        drawNoise();
    retarget();
}

double KitEmulator::fullSpeed() const
{
    return model_.rpmPerStep * (MaxWord - model_.deadZone);
}

double KitEmulator::steadySpeed(int u) const
{
    const double drive = model_.rpmPerStep * std::max(0.0, double(u) - model_.deadZone);
    return std::max(0.0, drive - load_ * fullSpeed());
}

// The exact solution of the lag: the speed's gap to the target decays by
// exp(-x / tau); the angle travelled is the integral of the speed
// (rpm x seconds = sensor changes: 60 a revolution, rpm / 60 revolutions a
// second).
KitEmulator::Motion KitEmulator::motionAt(double x) const
{
    const double decay = std::expm1(-x * rate_); // exp(-x / tau) - 1
    return {target_ * x - gap_ * model_.timeConstant * decay, target_ + gap_ * (1.0 + decay)};
}

double KitEmulator::reachTime(double d, double x0) const
{
    if (d <= 0)
        return x0;
    if (gap_ == 0)
        return target_ > 0 ? d / target_ : Never;
    if (target_ <= 0) { // coasting to rest: it travels gap x tau in all
        const double reach = gap_ * model_.timeConstant;
        return d < reach ? -model_.timeConstant * std::log1p(-d / reach) : Never;
    }
    // Newton's method from the side where it closes in without overshooting:
    // speeding up, travel is convex and every tangent's crossing lies beyond
    // the answer; slowing down, it is concave and they all fall short.
    double x = x0;
    if (gap_ < 0) {
        // beyond the answer: the target speed less the gap's whole lag ...
        double beyond = (d - gap_ * model_.timeConstant) / target_;
        // ... or the tangent at x0, whichever is nearer
        const Motion at = motionAt(x0);
        if (at.speed > 0)
            beyond = std::min(beyond, x0 + (d - at.travel) / at.speed);
        x = beyond;
    }
    for (int k = 0; k < MostNewtonSteps; ++k) {
        const Motion at = motionAt(x);
        const double step = (at.travel - d) / at.speed;
        x -= step;
        if (std::fabs(step) <= ReachTolerance)
            break;
    }
    return x;
}

void KitEmulator::findNextChange(double fromX)
{
    nextChangeX_ = noiseFactor_ > 0 ? reachTime(toNextChange_ / noiseFactor_, fromX) : Never;
    nextChange_ = nextChangeX_ == Never ? Never : double(anchorTime_) + nextChangeX_ * 1e9;
}

void KitEmulator::takeChange()
{
    lineHigh_ = !lineHigh_;
    toNextChange_ += 1;
    findNextChange(nextChangeX_);
}

void KitEmulator::catchUp(std::int64_t t)
{
    for (;;) {
        if (nextChange_ <= double(nextRebase_)) {
            if (nextChange_ > double(t))
                return;
            takeChange();
        } else {
            if (nextRebase_ > t)
                return;
            rebase();
        }
    }
}

void KitEmulator::anchorAt(std::int64_t t)
{
    const Motion at = motionAt(seconds(t));
    toNextChange_ = std::max(0.0, toNextChange_ - noiseFactor_ * at.travel);
    anchorSpeed_ = at.speed;
    anchorTime_ = t;
    gap_ = anchorSpeed_ - target_;
}

void KitEmulator::rebase()
{
    anchorAt(nextRebase_);
    nextRebase_ += rebaseEvery_;
    if (model_.noise > 0)
        drawNoise();
    findNextChange(0);
}

void KitEmulator::retarget()
{
    target_ = steadySpeed(actuatorWord());
    gap_ = anchorSpeed_ - target_;
    findNextChange(0);
}

void KitEmulator::setLoadTorque(double share)
{
    const std::int64_t t = clock_.now();
    catchUp(t);
    anchorAt(t);
    load_ = std::max(0.0, share);
    retarget();
}

double KitEmulator::loadTorqueForLevel(int level)
{
    return (std::clamp(level, 1, HighestLoadLevel) - 1) / 100.0;
}

double KitEmulator::speed()
{
    return motionAt(seconds(clock_.now())).speed;
}

void KitEmulator::drawNoise()
{
    const double u1 = uniform(random_);
    const double u2 = uniform(random_);
    const double n = model_.noise * std::sqrt(-2.0 * std::log(u1)) * std::cos(TwoPi * u2);
    noiseFactor_ = std::max(0.0, 1.0 + n);
}

void KitEmulator::DlPortWritePortUchar(std::int32_t port, std::uint8_t value)
{
    if (port != base_ && port != base_ + 2)
        throw PortError("emulated kit: no writable register at address " + std::to_string(port));
    // the old word has driven the motor until now
    const std::int64_t t = clock_.now();
    catchUp(t);
    anchorAt(t);
    if (port == base_)
        data_ = value;
    else
        control_ = value;
    retarget();
}

std::uint8_t KitEmulator::DlPortReadPortUchar(std::int32_t port)
{
    if (port == base_ + 1) {
        catchUp(clock_.statusRead());
        ++statusReads_;
        return statusByte();
    }
    if (port == base_)
        return data_;
    if (port == base_ + 2)
        return control_;
    throw PortError("emulated kit: no readable register at address " + std::to_string(port));
}

void KitEmulator::sampleStretch(std::int32_t port, std::uint64_t reads, StatusSamples &samples)
{
    std::int64_t first = 0, spacing = 0;
    if (port != base_ + 1 || reads == 0 || !clock_.readStretch(reads, first, spacing)) {
        PortDriver::sampleStretch(port, reads, samples);
        return;
    }
    statusReads_ += reads;
    const std::int64_t last = first + std::int64_t(reads - 1) * spacing;
    // Read k (0 .. reads - 1) falls at first + k x spacing and sees every
    // change up to that moment. Between two changes every read returns the
    // same byte, so only the reads with changes, and the first, need a look.
    const auto readOf = [&](double t) -> std::int64_t {
        if (spacing <= 0 || t <= double(first))
            return 0;
        std::int64_t k = std::int64_t(std::ceil((t - double(first)) / double(spacing)));
        while (k > 0 && double(first + (k - 1) * spacing) >= t)
            --k;
        while (double(first + k * spacing) < t)
            ++k;
        return k;
    };
    const auto show = [&samples](std::uint8_t byte) {
        if (byte != samples.last) {
            ++samples.changes;
            samples.last = byte;
        }
    };
    std::int64_t pending = -1; // the read whose changes are taken but not yet shown
    for (;;) {
        if (nextChange_ > double(nextRebase_)) {
            if (nextRebase_ > last)
                break;
            rebase();
            continue;
        }
        if (nextChange_ > double(last))
            break;
        const std::int64_t k = readOf(nextChange_);
        // the reads before k see the line as it is now
        if (pending < 0 ? k > 0 : pending != k)
            show(statusByte());
        takeChange();
        pending = k;
    }
    show(statusByte());
}

} // namespace tervalo
