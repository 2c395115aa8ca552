#include "runtime/Numeric.h"

#include "runtime/RuntimeError.h"

#include <cmath>
#include <limits>

namespace tervalo {

Extended Int(Extended x)
{
    return std::floor(x);
}

Extended roundHalfEven(Extended x)
{
    if (!std::isfinite(x))
        return x;
    const Extended lower = std::floor(x);
    const Extended diff = x - lower;
    if (diff < 0.5L)
        return lower;
    if (diff > 0.5L)
        return lower + 1;
    return std::fmod(lower, 2.0L) == 0 ? lower : lower + 1;
}

template <typename T> static T convertChecked(Extended x)
{
    if (std::isnan(x))
        raiseError(RuntimeError::Overflow);
    const Extended r = roundHalfEven(x);
    if (r < static_cast<Extended>(std::numeric_limits<T>::min())
        || r > static_cast<Extended>(std::numeric_limits<T>::max()))
        raiseError(RuntimeError::Overflow);
    return static_cast<T>(r);
}

std::int16_t CInt(Extended x)
{
    return convertChecked<std::int16_t>(x);
}
std::int32_t CLng(Extended x)
{
    return convertChecked<std::int32_t>(x);
}

Single CSng(Extended x)
{
    if (std::isfinite(x) && std::fabs(x) > static_cast<Extended>(std::numeric_limits<Single>::max()))
        raiseError(RuntimeError::Overflow);
    return static_cast<Single>(x);
}

template <typename T> static T narrow(long long v)
{
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
        raiseError(RuntimeError::Overflow);
    return static_cast<T>(v);
}

std::int16_t addInteger(std::int16_t a, std::int16_t b)
{
    return narrow<std::int16_t>(static_cast<long long>(a) + b);
}
std::int16_t subInteger(std::int16_t a, std::int16_t b)
{
    return narrow<std::int16_t>(static_cast<long long>(a) - b);
}
std::int16_t mulInteger(std::int16_t a, std::int16_t b)
{
    return narrow<std::int16_t>(static_cast<long long>(a) * b);
}
std::int32_t addLong(std::int32_t a, std::int32_t b)
{
    return narrow<std::int32_t>(static_cast<long long>(a) + b);
}
std::int32_t subLong(std::int32_t a, std::int32_t b)
{
    return narrow<std::int32_t>(static_cast<long long>(a) - b);
}
std::int32_t mulLong(std::int32_t a, std::int32_t b)
{
    return narrow<std::int32_t>(static_cast<long long>(a) * b);
}

Extended divide(Extended a, Extended b)
{
    if (b == 0)
        raiseError(RuntimeError::DivisionByZero);
    const Extended q = a / b;
    if (!std::isfinite(q))
        raiseError(RuntimeError::Overflow);
    return q;
}

} // namespace tervalo
