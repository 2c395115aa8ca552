#include "plant/MemoryPort.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace tervalo {

MemoryPort::MemoryPort(std::int32_t base) : base_(base) { }

void MemoryPort::failAfter(int accesses)
{
    accessesLeft_ = accesses < 0 ? -1 : accesses;
}

void MemoryPort::access()
{
    if (accessesLeft_ < 0)
        return;
    if (accessesLeft_ == 0)
        throw PortError("memory port: device gone");
    --accessesLeft_;
}

void MemoryPort::DlPortWritePortUchar(std::int32_t port, std::uint8_t value)
{
    access();
    if (port == base_)
        data_ = value;
    else if (port == base_ + 2)
        control_ = value;
    else
        throw PortError("memory port: no writable register at address " + std::to_string(port));
    writes_.push_back(Write{port, value});
}

void MemoryPort::spin(std::chrono::nanoseconds span)
{
    const auto until = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < until) {
    }
}

void MemoryPort::setReadCost(std::chrono::nanoseconds cost)
{
    using namespace std::chrono;
    readCost_ = cost;
    spinFor_ = cost;
    if (cost.count() <= 0)
        return;
    // A wait overshoots by about one look at the clock and a half. Measure
    // what a wait really lasts and shorten it by the difference, twice; the
    // median of a few rounds leaves out those the scheduler interrupted.
    constexpr int Passes = 2;
    constexpr int Rounds = 7;
    constexpr int SpinsPerRound = 32;
    for (int pass = 0; pass < Passes; ++pass) {
        std::array<nanoseconds, Rounds> lasted;
        for (auto &round : lasted) {
            const auto t0 = steady_clock::now();
            for (int i = 0; i < SpinsPerRound; ++i)
                spin(spinFor_);
            round = duration_cast<nanoseconds>(steady_clock::now() - t0) / SpinsPerRound;
        }
        std::nth_element(lasted.begin(), lasted.begin() + Rounds / 2, lasted.end());
        spinFor_ = std::clamp(spinFor_ - (lasted[Rounds / 2] - cost), nanoseconds(0), cost);
    }
}

void MemoryPort::setStatusScript(std::vector<std::uint8_t> bytes, bool repeat)
{
    script_ = std::move(bytes);
    scriptPos_ = 0;
    repeat_ = repeat;
    lastStatus_ = 0;
}

std::uint8_t MemoryPort::nextStatus()
{
    if (scriptPos_ < script_.size()) {
        lastStatus_ = script_[scriptPos_++];
        if (repeat_ && scriptPos_ == script_.size())
            scriptPos_ = 0;
    }
    return lastStatus_;
}

std::uint8_t MemoryPort::DlPortReadPortUchar(std::int32_t port)
{
    access();
    std::uint8_t value;
    if (port == base_ + 1) {
        if (readCost_.count() > 0)
            spin(spinFor_);
        value = nextStatus();
    } else if (port == base_) {
        value = data_;
    } else if (port == base_ + 2) {
        value = control_;
    } else {
        throw PortError("memory port: no readable register at address " + std::to_string(port));
    }
    ++reads_;
    return value;
}

} // namespace tervalo
