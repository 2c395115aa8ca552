#include "plant/MemoryPort.h"

#include <string>
#include <utility>

namespace tervalo {

MemoryPort::MemoryPort(std::int32_t base)
    : base_(base)
{
}

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
        if (readCost_.count() > 0) {
            const auto until = std::chrono::steady_clock::now() + readCost_;
            while (std::chrono::steady_clock::now() < until) {
            }
        }
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
