#pragma once
// A stdio stream whose every write and flush is checked: the first failure
// (a full disk, a closed or broken pipe) is kept with the system's reason and
// every later write is dropped.

#include <cstdio>
#include <string>

namespace tervalo::sim {

class CheckedOutput {
public:
    // name: how the stream is named in the failure, e.g. "standard output".
    CheckedOutput(std::FILE *stream, std::string name);

    // False once anything has failed.
    bool write(const std::string &text);
    bool flush();

    bool failed() const { return !failure_.empty(); }
    // "<name>: <reason>", e.g. "standard output: No space left on device";
    // empty while nothing has failed.
    const std::string &failure() const { return failure_; }

    // The stream is the standard output and that is open; otherwise the
    // failure is set ("standard output: Bad file descriptor").
    static CheckedOutput standardOutput();

private:
    void fail(int error);

    std::FILE *stream_;
    std::string name_;
    std::string failure_;
};

} // namespace tervalo::sim
