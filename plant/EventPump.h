#pragma once
// The counting loop's seam to the window's event queue. The window's pump
// runs pending events (control-cycle ticks, commands); tests drive a scripted
// one that runs handlers and ends the loop.

namespace tervalo {

class EventPump {
public:
    virtual ~EventPump() = default;
    // Run every pending event, then return.
    virtual void processEvents() = 0;
    // Block until at least one event has arrived and run it (used when no
    // samples are to be taken: simulation, or no driver).
    virtual void waitForEvents() = 0;
};

} // namespace tervalo
