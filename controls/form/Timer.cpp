#include "controls/form/Timer.h"

namespace tervalo {

Timer::Timer(QObject *parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (onTimer)
            onTimer();
    });
}

void Timer::setEnabled(bool on)
{
    enabled_ = on;
    apply();
}

void Timer::setInterval(std::int32_t ms)
{
    interval_ = ms;
    apply();
}

void Timer::apply()
{
    if (enabled_ && interval_ > 0 && onTimer) {
        if (!timer_.isActive() || timer_.interval() != interval_)
            timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

} // namespace tervalo
