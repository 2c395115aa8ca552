#pragma once
// The plant of the simulation mode: a pure gain with one control cycle of
// delay. Whenever the actuator value changes, output() gives the plant output
// the next cycle reads (revolutions per minute).

#include "runtime/Integer.h"
#include "runtime/Long.h"

namespace tervalo {

class SimulatedPlant {
public:
    static constexpr double gain = 1.26302;

    // CLng(actuator * 1.26302): the product in double precision, rounded to
    // the nearest whole number with halves to even.
    static Long output(Integer actuator);
};

} // namespace tervalo
