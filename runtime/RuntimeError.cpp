#include "runtime/RuntimeError.h"

namespace tervalo {

std::string RuntimeError::describe(int number)
{
    switch (number) {
    case Overflow: return "Overflow";
    case SubscriptOutOfRange: return "Subscript out of range";
    case DivisionByZero: return "Division by zero";
    case TypeMismatch: return "Type mismatch";
    case FileAccess: return "Path/File access error";
    case InvalidPropertyValue: return "Invalid property value";
    default: return "Run-time error";
    }
}

static std::string message(int number, const std::string &detail)
{
    std::string m = "Run-time error " + std::to_string(number) + ": " + RuntimeError::describe(number);
    if (!detail.empty())
        m += " (" + detail + ")";
    return m;
}

RuntimeError::RuntimeError(int number, const std::string &detail)
    : std::runtime_error(message(number, detail)), number_(number)
{ }

void raiseError(int number, const std::string &detail)
{
    throw RuntimeError(number, detail);
}

} // namespace tervalo
