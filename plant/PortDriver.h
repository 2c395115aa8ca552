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

class PortDriver {
public:
    virtual ~PortDriver() = default;
    virtual void DlPortWritePortUchar(std::int32_t port, std::uint8_t value) = 0;
    virtual std::uint8_t DlPortReadPortUchar(std::int32_t port) = 0;
};

} // namespace tervalo
