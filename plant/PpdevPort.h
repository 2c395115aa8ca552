#pragma once
// The kit's parallel port through Linux's ppdev driver (/dev/parportN).
// Addresses are those of the PC port: data base, status base + 1, control
// base + 2. The port is claimed on open() and released on destruction.
//
// Only the low four bits of the control register are ever written: bit 5
// would turn the data lines into inputs and bit 4 would enable the
// acknowledge interrupt.
//
// A refused system call while open (the device was unplugged or its module
// removed) throws PortError naming the device and the system's reason, and
// leaves the port closed.

#include "plant/PortDriver.h"
#include "plant/PpdevSystem.h"

#include <cstdint>
#include <string>

namespace tervalo {

class PpdevPort : public PortDriver {
public:
    explicit PpdevPort(std::string device = "/dev/parport0", std::int32_t base = 888);
    // The same through other system calls (tests).
    PpdevPort(std::string device, std::int32_t base, PpdevSystem &system);
    ~PpdevPort() override;

    PpdevPort(const PpdevPort &) = delete;
    PpdevPort &operator=(const PpdevPort &) = delete;

    // Open and claim the device, set the data lines to output and put out
    // the all-zero actuator word (data 0, control 11). False on failure,
    // with the reason in lastError(). True at once when already open.
    bool open();
    // Release and close (nothing when not open).
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // "<device>: <reason>", e.g. "/dev/parport0: Permission denied (add the
    // user to group lp)"; empty while nothing has failed.
    std::string lastError() const { return lastError_; }

    const std::string &device() const { return device_; }
    std::int32_t base() const { return base_; }

    // Data (base) and control (base + 2) are written; status (base + 1),
    // data and control are read. Any other address throws PortError.
    void DlPortWritePortUchar(std::int32_t port, std::uint8_t value) override;
    std::uint8_t DlPortReadPortUchar(std::int32_t port) override;

private:
    std::string reason(int error) const;
    void requireOpen() const;
    // Run one ioctl on the open device; on refusal close and throw.
    void control(unsigned long request, void *arg);

    std::string device_;
    std::int32_t base_;
    PpdevSystem &system_;
    int fd_ = -1;
    std::string lastError_;
};

} // namespace tervalo
