#pragma once
// The system calls PpdevPort makes on the ppdev character device, behind an
// interface so that the port's handling of refusals and vanished devices
// can be exercised without a parallel port. Each call behaves like the
// system call of the same name: -1 with the reason in errno on failure.

namespace tervalo {

class PpdevSystem {
public:
    virtual ~PpdevSystem() = default;
    virtual int open(const char *path, int flags) = 0;
    virtual int ioctl(int fd, unsigned long request, void *arg) = 0;
    virtual int close(int fd) = 0;

    // The operating system's calls.
    static PpdevSystem &real();
};

} // namespace tervalo
