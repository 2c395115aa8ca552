#pragma once
// An in-memory parallel port: the data and control registers keep the last
// byte written, the status register plays a script of bytes. Every write is
// recorded in order. Used by the simulator and by tests; a read can be made
// to cost as long as a real port's (about 1 us) and the device can be made
// to vanish after a number of accesses.

#include "plant/PortDriver.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tervalo {

class MemoryPort : public PortDriver {
public:
    struct Write {
        std::int32_t port;
        std::uint8_t value;
    };

    explicit MemoryPort(std::int32_t base = 888);

    // Data (base) and control (base + 2) are written; status (base + 1) is
    // read, and data and control read back their last byte. Any other
    // address throws PortError.
    void DlPortWritePortUchar(std::int32_t port, std::uint8_t value) override;
    std::uint8_t DlPortReadPortUchar(std::int32_t port) override;

    std::int32_t base() const { return base_; }

    const std::vector<Write> &writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }

    std::uint8_t data() const { return data_; }
    std::uint8_t control() const { return control_; }

    // The status register returns these bytes in turn, one per read,
    // starting over when repeat is set and otherwise keeping the last one
    // once the script has run out. An empty script reads 0.
    void setStatusScript(std::vector<std::uint8_t> bytes, bool repeat);

    // Successful reads of any register.
    std::uint64_t reads() const { return reads_; }

    // Busy time spent in every status read (0: none). The busy wait is
    // calibrated here so that a read lasts about this long in all, the
    // clock's own overhead included.
    void setReadCost(std::chrono::nanoseconds cost);

    // After this many further accesses (reads or writes), every access
    // throws PortError("memory port: device gone"). Negative: never.
    void failAfter(int accesses);

private:
    void access();
    std::uint8_t nextStatus();
    static void spin(std::chrono::nanoseconds span);

    std::int32_t base_;
    std::vector<Write> writes_;
    std::uint8_t data_ = 0;
    std::uint8_t control_ = 0;
    std::vector<std::uint8_t> script_;
    std::size_t scriptPos_ = 0;
    bool repeat_ = false;
    std::uint8_t lastStatus_ = 0;
    std::uint64_t reads_ = 0;
    std::chrono::nanoseconds readCost_{0};
    std::chrono::nanoseconds spinFor_{0}; // readCost_ less the clock's overshoot
    long long accessesLeft_ = -1;
};

} // namespace tervalo
