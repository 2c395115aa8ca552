#include "plant/PpdevPort.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <utility>

namespace tervalo {

namespace {

constexpr std::uint8_t ControlLinesMask = 0x0F;

} // namespace

PpdevPort::PpdevPort(std::string device, std::int32_t base)
    : PpdevPort(std::move(device), base, PpdevSystem::real()) { }

PpdevPort::PpdevPort(std::string device, std::int32_t base, PpdevSystem &system)
    : device_(std::move(device)), base_(base), system_(system)
{ }

PpdevPort::~PpdevPort()
{
    close();
}

std::string PpdevPort::reason(int error) const
{
    std::string text = device_ + ": " + std::strerror(error);
    switch (error) {
    case EACCES:
    case EPERM: text += " (add the user to group lp)"; break;
    case ENOENT:
    case ENODEV:
    case ENXIO: text += " (no parallel port: are the parport_pc and ppdev modules loaded?)"; break;
    case ENOTTY:
    case EINVAL:
    case EISDIR: text += " (not a parallel port device)"; break;
    default: break;
    }
    return text;
}

bool PpdevPort::open()
{
    if (isOpen())
        return true;
    const int fd = system_.open(device_.c_str(), O_RDWR);
    if (fd < 0) {
        lastError_ = reason(errno);
        return false;
    }
    if (system_.ioctl(fd, PPCLAIM, nullptr) < 0) {
        const int error = errno;
        system_.close(fd);
        lastError_ = reason(error);
        return false;
    }
    fd_ = fd;
    try {
        int forward = 0;
        control(PPDATADIR, &forward);
        DlPortWritePortUchar(base_, 0);
        DlPortWritePortUchar(base_ + 2, 11);
    } catch (const PortError &) {
        // control() has closed the device and kept the reason
        return false;
    }
    lastError_.clear();
    return true;
}

void PpdevPort::close()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    system_.ioctl(fd, PPRELEASE, nullptr);
    system_.close(fd);
}

void PpdevPort::requireOpen() const
{
    if (!isOpen()) {
        // the reason the port could not be opened is the one worth telling
        if (!lastError_.empty())
            throw PortError(lastError_);
        throw PortError(device_ + ": " + std::strerror(EBADF) + " (port not open)");
    }
}

void PpdevPort::control(unsigned long request, void *arg)
{
    if (system_.ioctl(fd_, request, arg) >= 0)
        return;
    const int error = errno;
    close();
    lastError_ = reason(error);
    throw PortError(lastError_);
}

void PpdevPort::DlPortWritePortUchar(std::int32_t port, std::uint8_t value)
{
    requireOpen();
    unsigned char byte = value;
    if (port == base_) {
        control(PPWDATA, &byte);
    } else if (port == base_ + 2) {
        byte &= ControlLinesMask;
        control(PPWCONTROL, &byte);
    } else {
        throw PortError(device_ + ": no writable register at address " + std::to_string(port));
    }
}

std::uint8_t PpdevPort::DlPortReadPortUchar(std::int32_t port)
{
    requireOpen();
    unsigned char byte = 0;
    if (port == base_ + 1)
        control(PPRSTATUS, &byte);
    else if (port == base_)
        control(PPRDATA, &byte);
    else if (port == base_ + 2)
        control(PPRCONTROL, &byte);
    else
        throw PortError(device_ + ": no readable register at address " + std::to_string(port));
    return byte;
}

} // namespace tervalo
