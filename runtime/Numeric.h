#pragma once
// Conversions and rounding shared by every subsystem.
//  - Int(x): the largest whole number not above x (toward minus infinity).
//  - roundHalfEven(x): nearest whole number, halves to the even neighbour.
//  - CInt / CLng: roundHalfEven into 16 / 32 bits; out of range is error 6.
//  - CSng: store an extended-precision intermediate as a Single (float).
// Intermediate floating expressions are written in long double by callers.

#include <cstdint>

namespace tervalo {

using Single = float;
using Double = double;
using Extended = long double;

Extended Int(Extended x);
Extended roundHalfEven(Extended x);
std::int16_t CInt(Extended x);
std::int32_t CLng(Extended x);
Single CSng(Extended x);

// Checked whole-number arithmetic on the two widths; overflow raises error 6,
// a zero divisor error 11.
std::int16_t addInteger(std::int16_t a, std::int16_t b);
std::int16_t subInteger(std::int16_t a, std::int16_t b);
std::int16_t mulInteger(std::int16_t a, std::int16_t b);
std::int32_t addLong(std::int32_t a, std::int32_t b);
std::int32_t subLong(std::int32_t a, std::int32_t b);
std::int32_t mulLong(std::int32_t a, std::int32_t b);

// Floating division that raises error 11 for a zero divisor, as the
// program's "/" operator does, and error 6 when the quotient is not finite.
Extended divide(Extended a, Extended b);

} // namespace tervalo
