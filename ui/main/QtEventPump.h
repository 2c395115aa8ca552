#pragma once
// The application's own event queue as the counting loop's pump.

#include "plant/EventPump.h"

namespace tervalo {

class QtEventPump : public EventPump {
public:
    void processEvents() override;
    void waitForEvents() override;
};

} // namespace tervalo
