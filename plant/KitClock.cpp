#include "plant/KitClock.h"

#include <thread>

namespace tervalo {

SteadyKitClock::SteadyKitClock() : start_(std::chrono::steady_clock::now()) { }

std::int64_t SteadyKitClock::now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
}

void SteadyKitClock::wait(std::chrono::nanoseconds span)
{
    if (span.count() > 0)
        std::this_thread::sleep_for(span);
}

} // namespace tervalo
