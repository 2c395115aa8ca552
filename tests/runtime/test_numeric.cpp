// Whole-number widths, rounding and conversions.
#include "runtime/Integer.h"
#include "runtime/Long.h"
#include "runtime/Numeric.h"
#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tervalo;

namespace {
int errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}
} // namespace

TEST(Int, RoundsTowardMinusInfinity)
{
    const struct {
        Extended in, out;
    } cases[] = {{0.7L, 0}, {-0.3L, -1}, {-0.5L, -1}, {2.0L, 2}, {-2.0L, -2}, {-1e-9L, -1}, {1234.999L, 1234}};
    for (const auto &c : cases)
        EXPECT_EQ(Int(c.in), c.out) << static_cast<double>(c.in);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    const struct {
        Extended in, out;
    } cases[] = {{0.5L, 0},   {1.5L, 2},      {2.5L, 2},    {-0.5L, 0},   {-1.5L, -2},
                 {-2.5L, -2}, {631.51L, 632}, {2.4999L, 2}, {2.5001L, 3}, {5.227L, 5}};
    for (const auto &c : cases)
        EXPECT_EQ(roundHalfEven(c.in), c.out) << static_cast<double>(c.in);
}

TEST(Conversions, CIntAndCLngRangesRaiseOverflow)
{
    EXPECT_EQ(CInt(32767.4L), 32767);
    EXPECT_EQ(CInt(-32768.5L), -32768); // half to even stays in range
    EXPECT_EQ(errorOf([] { CInt(32767.5L); }), RuntimeError::Overflow);
    EXPECT_EQ(errorOf([] { CInt(-32769.0L); }), RuntimeError::Overflow);
    EXPECT_EQ(CLng(2147483647.0L), 2147483647);
    EXPECT_EQ(errorOf([] { CLng(2147483648.0L); }), RuntimeError::Overflow);
    EXPECT_EQ(errorOf([] { CInt(std::numeric_limits<Extended>::quiet_NaN()); }), RuntimeError::Overflow);
}

TEST(Conversions, SingleKeepsItsOwnPrecision)
{
    EXPECT_EQ(CSng(0.35L), 0.35f);
    EXPECT_EQ(errorOf([] { CSng(1e39L); }), RuntimeError::Overflow);
}

TEST(IntegerArithmetic, OverflowIsAnErrorNeverAWrap)
{
    EXPECT_EQ((Integer(6553) * 5).value(), 32765);
    EXPECT_EQ(errorOf([] { (void)(Integer(6554) * 5); }), RuntimeError::Overflow);
    EXPECT_EQ(errorOf([] { (void)(Integer(32767) + 1); }), RuntimeError::Overflow);
    EXPECT_EQ(errorOf([] { (void)(Integer(-32768) - 1); }), RuntimeError::Overflow);
    EXPECT_EQ(errorOf([] { (void)(-Integer(-32768)); }), RuntimeError::Overflow);
    EXPECT_EQ(errorOf([] { Integer x(40000); }), RuntimeError::Overflow);
    EXPECT_EQ((Integer(-2000) - 1000).value(), -3000);
}

TEST(LongArithmetic, OverflowIsAnErrorAndIntegerWidens)
{
    EXPECT_EQ((Long(Integer(32767)) + 1).value(), 32768);
    EXPECT_EQ(errorOf([] { (void)(Long(2147483647) + 1); }), RuntimeError::Overflow);
    EXPECT_EQ(errorOf([] { (void)(Long(65536) * Long(65536)); }), RuntimeError::Overflow);
}

TEST(Division, ZeroDivisorIsError11)
{
    EXPECT_EQ(errorOf([] { divide(1000, 0); }), RuntimeError::DivisionByZero);
    EXPECT_EQ(divide(1000, 3), 1000.0L / 3);
}
