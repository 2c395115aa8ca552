#include "tools/CheckedOutput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tervalo::sim {

CheckedOutput::CheckedOutput(std::FILE *stream, std::string name) : stream_(stream), name_(std::move(name)) { }

void CheckedOutput::fail(int error)
{
    if (failure_.empty())
        failure_ = name_ + ": " + std::strerror(error != 0 ? error : EIO);
}

bool CheckedOutput::write(const std::string &text)
{
    if (failed())
        return false;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size() || std::ferror(stream_))
        fail(errno);
    return !failed();
}

bool CheckedOutput::flush()
{
    if (failed())
        return false;
    errno = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_))
        fail(errno);
    return !failed();
}

CheckedOutput CheckedOutput::standardOutput()
{
    CheckedOutput out(stdout, "standard output");
    // A closed descriptor 1 would be taken by the next file anyone opens,
    // and the table would end up in it.
    if (::fcntl(STDOUT_FILENO, F_GETFD) < 0)
        out.fail(errno);
    return out;
}

} // namespace tervalo::sim
