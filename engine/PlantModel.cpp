#include "engine/PlantModel.h"

#include <cmath>
#include <stdexcept>

namespace tervalo {

namespace {

// Times closer than this share of a period count as the same instant, so that
// a dead time of exactly whole periods is treated as such.
constexpr double kSameInstant = 1e-9;

struct DeadTimeParts {
    int whole = 0;
    double fraction = 0;
};

DeadTimeParts split(double deadTime, double period)
{
    DeadTimeParts p;
    p.whole = static_cast<int>(std::floor(deadTime / period + kSameInstant));
    p.fraction = deadTime - p.whole * period;
    if (p.fraction < kSameInstant * period)
        p.fraction = 0;
    return p;
}

// Integral of the unit lag response g(t) = 1 - exp(-(t - L) / tau) (t >= L,
// else 0) from a to b.
double lagIntegral(double a, double b, double deadTime, double tau)
{
    a = std::max(a, deadTime);
    if (b <= a)
        return 0;
    if (tau <= 0)
        return b - a;
    return (b - a) - tau * (std::exp(-(a - deadTime) / tau) - std::exp(-(b - deadTime) / tau));
}

void checkModel(const PlantModel &m)
{
    if (!(m.period > 0) || !(m.timeConstant >= 0) || !(m.deadTime >= 0) || !std::isfinite(m.gain)
        || !std::isfinite(m.offset) || !std::isfinite(m.timeConstant) || !std::isfinite(m.deadTime))
        throw std::invalid_argument("plant model: period must be above 0, time constant and dead time at least 0");
    if (m.measurement == Measurement::Sample && m.deadTime < kSameInstant * m.period)
        throw std::invalid_argument("plant model: a sampled measurement needs a dead time above 0 "
                                    "(the cycle measures before it sets the actuator)");
}

} // namespace

double PlantModel::unitStep(int n) const
{
    if (n <= 0)
        return 0;
    const double t = n * period;
    if (measurement == Measurement::PeriodMean)
        return lagIntegral(t - period, t, deadTime, timeConstant) / period;
    double s = t - deadTime;
    if (std::fabs(s) < kSameInstant * period)
        s = 0;
    if (s < 0)
        return 0;
    if (timeConstant <= 0)
        return 1; // the delayed step has arrived at this instant
    return 1 - std::exp(-s / timeConstant);
}

ModelPlant::ModelPlant(const PlantModel &model, double initialActuator) : m_(model), initial_(initialActuator)
{
    checkModel(m_);
    const DeadTimeParts p = split(m_.deadTime, m_.period);
    whole_ = p.whole;
    fraction_ = p.fraction;
    if (m_.timeConstant > 0) {
        decayFirst_ = std::exp(-fraction_ / m_.timeConstant);
        decaySecond_ = std::exp(-(m_.period - fraction_) / m_.timeConstant);
    }
    inputs_.assign(static_cast<std::size_t>(whole_) + 2, initial_);
    x_ = m_.gain * initial_;
    measured_ = m_.offset + x_;
}

double ModelPlant::delayedInput(int back) const
{
    const long long k = cycle_ - back;
    if (k < 0)
        return initial_;
    return inputs_[static_cast<std::size_t>(k % static_cast<long long>(inputs_.size()))];
}

void ModelPlant::hold(double actuator)
{
    inputs_[static_cast<std::size_t>(cycle_ % static_cast<long long>(inputs_.size()))] = actuator;
    const double T = m_.period;
    const double K = m_.gain;
    // Over the coming period the delayed input is U(k-d-1) for the first
    // fraction_ seconds and U(k-d) for the rest.
    const double first = K * delayedInput(whole_ + 1);
    const double second = K * delayedInput(whole_);

    if (m_.timeConstant > 0) {
        const double tau = m_.timeConstant;
        const double x1 = first + (x_ - first) * decayFirst_;
        const double x2 = second + (x1 - second) * decaySecond_;
        if (m_.measurement == Measurement::Sample) {
            measured_ = m_.offset + x2;
        } else {
            const double area1 = first * fraction_ + (x_ - first) * tau * (1 - decayFirst_);
            const double area2 = second * (T - fraction_) + (x1 - second) * tau * (1 - decaySecond_);
            measured_ = m_.offset + (area1 + area2) / T;
        }
        x_ = x2;
    } else {
        if (m_.measurement == Measurement::Sample) {
            // At the instant itself: with L a whole number of periods the
            // input set d - 1 cycles ago has just arrived.
            const double arrived = fraction_ > 0 ? second : K * delayedInput(whole_ - 1);
            measured_ = m_.offset + arrived;
        } else {
            measured_ = m_.offset + (first * fraction_ + second * (T - fraction_)) / T;
        }
        x_ = second;
    }
    ++cycle_;
}

} // namespace tervalo
