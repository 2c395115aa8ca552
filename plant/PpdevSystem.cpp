#include "plant/PpdevSystem.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tervalo {

namespace {

class OsCalls final : public PpdevSystem {
public:
    int open(const char *path, int flags) override { return ::open(path, flags | O_CLOEXEC); }
    int ioctl(int fd, unsigned long request, void *arg) override { return ::ioctl(fd, request, arg); }
    int close(int fd) override { return ::close(fd); }
};

} // namespace

PpdevSystem &PpdevSystem::real()
{
    static OsCalls calls;
    return calls;
}

} // namespace tervalo
