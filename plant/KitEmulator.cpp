#include "plant/KitEmulator.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tervalo {

namespace {

constexpr double NanosecondsPerSecond = 1e9;
constexpr double TwoPi = 6.283185307179586476925286766559;

// A uniform value in (0, 1] from 53 bits of the generator's output; the
// generator's sequence is fixed by the standard, this conversion by us.
double uniform(std::mt19937_64 &g)
{
    return double((g() >> 11) + 1) * 0x1.0p-53;
}

// exp(-x) - 1. The spans between two reads are a few microseconds, far
// below the time constant: there the series, cut where its next term is
// below the last bit, is exact and much cheaper than the library's call.
double decay(double x)
{
    if (x < 1e-4)
        return -x * (1.0 - x * (0.5 - x * (1.0 / 6.0 - x * (1.0 / 24.0))));
    return std::expm1(-x);
}

} // namespace

KitEmulator::KitEmulator(KitClock &clock, std::int32_t base) : KitEmulator(clock, base, KitModel()) { }

KitEmulator::KitEmulator(KitClock &clock, std::int32_t base, const KitModel &model)
    : clock_(clock), base_(base), model_(model), rate_(1.0 / model.timeConstant), random_(model.noiseSeed)
{
    t_ = clock_.now();
    if (model_.noiseHold.count() <= 0)
        model_.noiseHold = Model().noiseHold;
    if (model_.noise > 0) {
        nextDraw_ = t_;
        drawNoise(1);
    }
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

void KitEmulator::retarget()
{
    target_ = steadySpeed(actuatorWord());
}

void KitEmulator::setLoadTorque(double share)
{
    advanceTo(clock_.now());
    load_ = std::max(0.0, share);
    retarget();
}

double KitEmulator::loadTorqueForLevel(int level)
{
    return (std::clamp(level, 1, HighestLoadLevel) - 1) / 100.0;
}

double KitEmulator::speed()
{
    advanceTo(clock_.now());
    return speed_;
}

void KitEmulator::drawNoise(std::int64_t draws)
{
    // Only the last draw is used; the others keep the sequence tied to time.
    if (draws > 1)
        random_.discard(2 * static_cast<unsigned long long>(draws - 1));
    const double u1 = uniform(random_);
    const double u2 = uniform(random_);
    const double n = model_.noise * std::sqrt(-2.0 * std::log(u1)) * std::cos(TwoPi * u2);
    noiseFactor_ = std::max(0.0, 1.0 + n);
    nextDraw_ += draws * model_.noiseHold.count();
}

void KitEmulator::advanceTo(std::int64_t t)
{
    const std::int64_t span = t - t_;
    if (span <= 0)
        return;
    t_ = t;
    // Exact solution of the lag over the span: the speed's gap to the
    // target decays by exp(-dt / tau); the angle travelled is the integral
    // of the speed. The exponential is kept for the next span of the same
    // length (every span, on the virtual clock), and not needed at all
    // once the speed has reached its target to the last bit.
    const double dt = double(span) / NanosecondsPerSecond;
    const double gap = speed_ - target_;
    // rpm x seconds = sensor changes (60 a revolution, rpm / 60 revolutions a second)
    double travel = target_ * dt;
    if (gap != 0) {
        if (span != lastSpan_) {
            lastSpan_ = span;
            lastDecay_ = decay(dt * rate_);
        }
        travel -= gap * model_.timeConstant * lastDecay_;
        speed_ = target_ + gap * (1.0 + lastDecay_);
    }
    if (model_.noise > 0) {
        travel *= noiseFactor_;
        if (t >= nextDraw_)
            drawNoise((t - nextDraw_) / model_.noiseHold.count() + 1);
    }
    phase_ += travel;
    if (phase_ >= 2.0)
        phase_ = std::fmod(phase_, 2.0);
}

void KitEmulator::DlPortWritePortUchar(std::int32_t port, std::uint8_t value)
{
    if (port != base_ && port != base_ + 2)
        throw PortError("emulated kit: no writable register at address " + std::to_string(port));
    // the old word has driven the motor until now
    advanceTo(clock_.now());
    if (port == base_)
        data_ = value;
    else
        control_ = value;
    retarget();
}

std::uint8_t KitEmulator::DlPortReadPortUchar(std::int32_t port)
{
    if (port == base_ + 1) {
        advanceTo(clock_.statusRead());
        ++statusReads_;
        return phase_ >= 1.0 ? IdleStatus : std::uint8_t(IdleStatus | SensorLine);
    }
    if (port == base_)
        return data_;
    if (port == base_ + 2)
        return control_;
    throw PortError("emulated kit: no readable register at address " + std::to_string(port));
}

} // namespace tervalo
