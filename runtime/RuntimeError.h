#pragma once
// Run-time errors of the numeric and control semantics the program is written
// against. Each carries its error number; guarded handlers (ResumeNext) catch
// these and nothing else.

#include <stdexcept>
#include <string>

namespace tervalo {

class RuntimeError : public std::runtime_error {
public:
    enum Number : int {
        Overflow = 6,
        SubscriptOutOfRange = 9,
        DivisionByZero = 11,
        TypeMismatch = 13,
        FileAccess = 75,
        InvalidPropertyValue = 380,
    };

    explicit RuntimeError(int number, const std::string &detail = std::string());

    int number() const noexcept { return number_; }

    static std::string describe(int number);

private:
    int number_;
};

[[noreturn]] void raiseError(int number, const std::string &detail = std::string());

} // namespace tervalo
