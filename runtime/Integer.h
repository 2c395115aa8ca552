#pragma once
// Integer: a 16-bit signed whole number whose arithmetic raises run-time
// error 6 on overflow instead of wrapping. Built implicitly from int (checked),
// read back with value() or ld(); mixing with floating values is done in
// long double by the caller (x.ld() * gain).

#include "runtime/Numeric.h"

#include <cstdint>

namespace tervalo {

class Integer {
public:
    constexpr Integer() = default;
    Integer(int v); // NOLINT(google-explicit-constructor): checked, raises 6 when out of range

    static Integer fromExtended(Extended x) { return Integer(RawTag{}, CInt(x)); }

    std::int16_t value() const { return v_; }
    Extended ld() const { return v_; }

    friend Integer operator+(Integer a, Integer b) { return Integer(RawTag{}, addInteger(a.v_, b.v_)); }
    friend Integer operator-(Integer a, Integer b) { return Integer(RawTag{}, subInteger(a.v_, b.v_)); }
    friend Integer operator*(Integer a, Integer b) { return Integer(RawTag{}, mulInteger(a.v_, b.v_)); }
    Integer operator-() const { return Integer(RawTag{}, subInteger(0, v_)); }
    Integer &operator+=(Integer b) { return *this = *this + b; }
    Integer &operator-=(Integer b) { return *this = *this - b; }

    friend bool operator==(Integer a, Integer b) { return a.v_ == b.v_; }
    friend bool operator!=(Integer a, Integer b) { return a.v_ != b.v_; }
    friend bool operator<(Integer a, Integer b) { return a.v_ < b.v_; }
    friend bool operator<=(Integer a, Integer b) { return a.v_ <= b.v_; }
    friend bool operator>(Integer a, Integer b) { return a.v_ > b.v_; }
    friend bool operator>=(Integer a, Integer b) { return a.v_ >= b.v_; }

private:
    struct RawTag { };
    constexpr Integer(RawTag, std::int16_t v) : v_(v) { }
    std::int16_t v_ = 0;
};

} // namespace tervalo
