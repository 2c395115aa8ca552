#include "engine/SimulatedPlant.h"

namespace tervalo {

Long SimulatedPlant::output(Integer actuator)
{
    const Double product = static_cast<Double>(actuator.value()) * gain;
    return Long::fromExtended(product);
}

} // namespace tervalo
