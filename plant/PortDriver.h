#pragma once
// The port I/O driver: single-byte writes and reads of the parallel port's
// registers, addressed as the kit documents them (data base, status base+1,
// control base+2, base 888). Two backends: the kit through Linux's ppdev
// (PpdevPort) and an in-memory register set (MemoryPort).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tervalo {

// A port access that the system refused (device missing, no permission,
// device gone). The message names the device and the system's reason.
class PortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a stretch of status reads returned: the byte of the last read, and
// how many reads returned a byte other than the one before them.
struct StatusSamples {
    std::uint8_t last = 0; // before the stretch: the byte the first read is compared with
    std::uint64_t changes = 0;
};

class PortDriver {
public:
    virtual ~PortDriver() = default;
    virtual void DlPortWritePortUchar(std::int32_t port, std::uint8_t value) = 0;
    virtual std::uint8_t DlPortReadPortUchar(std::int32_t port) = 0;

    // Reads the register at port `reads` times in a row, adding to
    // samples.changes every read whose byte differs from samples.last and
    // keeping the last byte in samples.last. The port reads one byte at a
    // time; a port that can tell what such a stretch would return without
    // making the reads one by one (the emulated kit on a virtual clock)
    // answers in one step, with the same outcome. A PortError ends the
    // stretch with what was read before it kept in samples.
    virtual void sampleStretch(std::int32_t port, std::uint64_t reads, StatusSamples &samples)
    {
        for (std::uint64_t k = 0; k < reads; ++k) {
            const std::uint8_t current = DlPortReadPortUchar(port);
            if (current != samples.last) {
                ++samples.changes;
                samples.last = current;
            }
        }
    }
};

} // namespace tervalo
