#pragma once
// The window's control cycle for the counting loop on the emulated kit's
// virtual clock, in tests and benchmarks alike: each time 200 ms of port
// time have passed it takes Y = count x 5, notes the emulator's true speed
// at that moment, clears the count, and ends the loop after the wanted
// number of cycles.

#include "plant/EventPump.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/PulseCounter.h"

#include <vector>

namespace tervalo::test {

class KitCyclePump : public EventPump {
public:
    KitCyclePump(KitClock &clock, KitEmulator &kit, Integer &count, bool &stop, int cycles)
        : timer_(clock), kit_(kit), count_(count), stop_(stop), cycles_(cycles)
    {
        ys.reserve(static_cast<std::size_t>(cycles));
        trueSpeeds.reserve(static_cast<std::size_t>(cycles));
    }
    void processEvents() override
    {
        if (!timer_.due())
            return;
        ys.push_back(count_.value() * 5);
        trueSpeeds.push_back(kit_.speed());
        count_ = 0;
        if (static_cast<int>(ys.size()) >= cycles_)
            stop_ = true;
    }
    void waitForEvents() override { processEvents(); }

    std::vector<int> ys;            // Y of each cycle
    std::vector<double> trueSpeeds; // the motor's speed when it was taken

private:
    CycleTimer timer_;
    KitEmulator &kit_;
    Integer &count_;
    bool &stop_;
    int cycles_;
};

} // namespace tervalo::test
