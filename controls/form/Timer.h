#pragma once
// A window timer: Enabled and Interval as properties, the tick handler a plain
// function. Ticks that fall due while a handler runs are not queued: at most
// one is pending. The interval is a Long; a disabled timer with an interval is
// only a holder of that number.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace tervalo {

class Timer : public QObject {
public:
    explicit Timer(QObject *parent = nullptr);

    bool Enabled() const { return enabled_; }
    void setEnabled(bool on);
    std::int32_t Interval() const { return interval_; }
    void setInterval(std::int32_t ms);

    std::function<void()> onTimer;

private:
    void apply();
    QTimer timer_;
    bool enabled_ = false;
    std::int32_t interval_ = 0;
};

} // namespace tervalo
