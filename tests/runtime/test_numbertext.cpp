// Numbers as the program writes them.
#include "runtime/NumberText.h"

#include <gtest/gtest.h>

using namespace tervalo;

TEST(NumberText, WholeNumbersArePlainDecimal)
{
    EXPECT_EQ(NumberText::whole(1250), "1250");
    EXPECT_EQ(NumberText::whole(-250), "-250");
    EXPECT_EQ(NumberText::whole(0), "0");
}

TEST(NumberText, SinglesInGeneralFormWithSevenDigits)
{
    const struct {
        float v;
        const char *text;
    } cases[] = {
        {0.35f, "0.35"},
        {1.2f, "1.2"},
        {0.0f, "0"},
        {0.001f, "0.001"},
        {5.0f, "5"},
        {0.2f, "0.2"},
        {-0.05f, "-0.05"},
        {1234567.0f, "1234567"},
        {12345678.0f, "1.234568E+07"},
        {0.000001f, "1E-06"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NumberText::single(c.v), c.text) << c.v;
}

TEST(NumberText, AxisValuesRoundToOneDecimalThenDropZeros)
{
    const struct {
        double v;
        const char *text;
    } cases[] = {{20, "20"},     {2.5, "2.5"}, {12.04, "12"}, {-1.25, "-1.3"}, {1.25, "1.3"}, {0, "0"},
                 {-2.5, "-2.5"}, {7.5, "7.5"}, {0.04, "0"},   {-0.04, "0"},    {1800, "1800"}};
    for (const auto &c : cases)
        EXPECT_EQ(NumberText::axisValue(c.v), c.text) << c.v;
}

TEST(NumberText, RegionalSeparatorIsUsedBothWays)
{
    NumberText::setDecimalSeparator(',');
    EXPECT_EQ(NumberText::single(0.35f), "0,35");
    double d = 0;
    EXPECT_TRUE(NumberText::parse("2,5", d));
    EXPECT_EQ(d, 2.5);
    NumberText::setDecimalSeparator('.');
    EXPECT_EQ(NumberText::single(0.35f), "0.35");
}

TEST(NumberText, ParseRejectsWhatIsNotANumber)
{
    double d = 0;
    EXPECT_TRUE(NumberText::parse(" 10 ", d));
    EXPECT_EQ(d, 10);
    EXPECT_FALSE(NumberText::parse("", d));
    EXPECT_FALSE(NumberText::parse("abc", d));
    EXPECT_FALSE(NumberText::parse("2x", d));
}
