#pragma once
// Long: a 32-bit signed whole number whose arithmetic raises run-time error 6
// on overflow. An Integer widens to a Long implicitly.

#include "runtime/Integer.h"
#include "runtime/Numeric.h"

#include <cstdint>

namespace tervalo {

class Long {
public:
    constexpr Long() = default;
    Long(long long v); // NOLINT(google-explicit-constructor): checked, raises 6 when out of range
    Long(int v) : Long(static_cast<long long>(v)) { } // NOLINT(google-explicit-constructor)
    Long(Integer v) : v_(v.value()) { }               // NOLINT(google-explicit-constructor)

    static Long fromExtended(Extended x) { return Long(static_cast<long long>(CLng(x))); }

    std::int32_t value() const { return v_; }
    Extended ld() const { return v_; }

    friend Long operator+(Long a, Long b) { return Long(static_cast<long long>(addLong(a.v_, b.v_))); }
    friend Long operator-(Long a, Long b) { return Long(static_cast<long long>(subLong(a.v_, b.v_))); }
    friend Long operator*(Long a, Long b) { return Long(static_cast<long long>(mulLong(a.v_, b.v_))); }
    Long &operator+=(Long b) { return *this = *this + b; }

    friend bool operator==(Long a, Long b) { return a.v_ == b.v_; }
    friend bool operator!=(Long a, Long b) { return a.v_ != b.v_; }
    friend bool operator<(Long a, Long b) { return a.v_ < b.v_; }
    friend bool operator<=(Long a, Long b) { return a.v_ <= b.v_; }
    friend bool operator>(Long a, Long b) { return a.v_ > b.v_; }
    friend bool operator>=(Long a, Long b) { return a.v_ >= b.v_; }

private:
    std::int32_t v_ = 0;
};

} // namespace tervalo
