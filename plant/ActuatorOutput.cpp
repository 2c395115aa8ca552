#include "plant/ActuatorOutput.h"

#include "runtime/Numeric.h"
#include "runtime/RuntimeError.h"

#include <cmath>

namespace tervalo {

namespace {

// A register byte from a floating value: rounded half to even; a value
// outside 0..255 is an overflow.
std::uint8_t toByte(Extended x)
{
    const std::int32_t v = CLng(x);
    if (v < 0 || v > 255)
        raiseError(RuntimeError::Overflow, "byte out of range");
    return static_cast<std::uint8_t>(v);
}

// Characters [first, first + count) of s, 1-based; shorter when s ends early.
std::string mid(const std::string &s, std::size_t first, std::size_t count)
{
    if (first - 1 >= s.size())
        return std::string();
    return s.substr(first - 1, count);
}

} // namespace

std::string ActuatorOutput::Dec2Bin(double n)
{
    if (n >= 2147483648.0)
        return std::string();
    // The bit test works on n as a Long; the loop bound on n itself.
    const std::int64_t whole = CLng(n);
    std::string text;
    int i = 0;
    do {
        const std::int64_t bit = std::int64_t(1) << i;
        text.insert(text.begin(), (whole & bit) == bit ? '1' : '0');
        ++i;
    } while (!(std::ldexp(1.0, i) > n));
    return text;
}

double ActuatorOutput::Bin2Dec(const std::string &s)
{
    const std::size_t n = s.size();
    if (n > static_cast<std::size_t>(WordBits))
        return 0;
    double sum = 0;
    for (std::size_t i = n; i >= 1; --i) {
        const char c = s[i - 1];
        if (c < '0' || c > '9')
            raiseError(RuntimeError::TypeMismatch, "not a binary digit: \"" + s + "\"");
        sum += std::ldexp(1.0, static_cast<int>(n - i)) * (c - '0');
    }
    return sum;
}

std::string ActuatorOutput::actuatorBits(int v)
{
    std::string bits = Dec2Bin(v);
    if (bits.size() < static_cast<std::size_t>(WordBits))
        bits.insert(0, WordBits - bits.size(), '0');
    return bits;
}

std::string ActuatorOutput::dataBits(const std::string &bits12)
{
    return mid(bits12, 1, 8);
}

std::string ActuatorOutput::controlBits(const std::string &bits12)
{
    return mid(bits12, 9, 4);
}

std::uint8_t ActuatorOutput::dataByte(const std::string &bits12)
{
    return toByte(Bin2Dec(dataBits(bits12)));
}

std::uint8_t ActuatorOutput::controlByte(const std::string &bits12)
{
    const std::int32_t nibble = CLng(Bin2Dec(controlBits(bits12)));
    return toByte(nibble ^ ControlInversion);
}

void ActuatorOutput::writeWord(PortDriver &port, std::int32_t base, int v)
{
    const std::string bits = actuatorBits(v);
    const std::uint8_t data = dataByte(bits);
    const std::uint8_t control = controlByte(bits);
    port.DlPortWritePortUchar(base, data);
    port.DlPortWritePortUchar(base + 2, control);
}

void ActuatorOutput::writeZeroWord(PortDriver &port, std::int32_t base)
{
    port.DlPortWritePortUchar(base, 0);
    port.DlPortWritePortUchar(base + 2, ControlInversion);
}

} // namespace tervalo
