#pragma once
// The window's session as tervalo-sim runs it: a Form2 without a display,
// against the simulated plant (the port is plain memory) or against the
// emulated kit on a virtual clock, through the real registers, the real
// actuator handler and the real counting loop.
//
// On the kit every status read moves the clock on by the port's read time
// and a control cycle falls due when 200 ms of that time have passed since
// START (or since the last one). In simulation each pump of the counting
// loop runs the next cycle at once.

#include "engine/SessionLimits.h"
#include "plant/EventPump.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/MemoryPort.h"
#include "tools/SimArguments.h"
#include "ui/main/Form2.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tervalo::sim {

class Session {
public:
    // One control cycle: runs it (Timer1_Timer and whatever goes with it)
    // and returns false when the run is to end (STOP), before or after it.
    using Cycle = std::function<bool()>;

    explicit Session(bool kit);
    ~Session();

    Form2 &form() { return *form_; }
    bool kit() const { return emulator_ != nullptr; }
    KitEmulator *emulator() { return emulator_.get(); }
    int actuatorMin() const { return SessionLimits::actuatorMin(kit()); }

    // The loop: a controller by name (P..PID, fuzzy) closed on the plant, or
    // "open": the actuator held (in simulation the P law at Kp 0, which holds
    // it; on the kit the window's open loop).
    void selectLoop(const std::string &controller);

    // START, then one call of cycle per control cycle until it returns false.
    void run(Cycle cycle);

private:
    class Pump;

    VirtualKitClock clock_;
    std::unique_ptr<KitEmulator> emulator_;
    std::unique_ptr<MemoryPort> memory_;
    std::unique_ptr<Pump> pump_;
    std::unique_ptr<Form2> form_;
};

} // namespace tervalo::sim
