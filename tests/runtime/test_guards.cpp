// Statements guarded one by one, and the property bag of the controls.
#include "controls/common/PropertyBag.h"
#include "runtime/Integer.h"
#include "runtime/ResumeNext.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tervalo;

TEST(ResumeNext, AFailingStatementIsSkippedAndTheNextRuns)
{
    Integer a = 100, b = 1;
    ResumeNext step;
    EXPECT_TRUE(step([&] { a = a + 1; }));
    EXPECT_FALSE(step([&] { a = a * 1000; })); // overflow: a keeps 101
    EXPECT_TRUE(step([&] { b = 2; }));
    EXPECT_EQ(a.value(), 101);
    EXPECT_EQ(b.value(), 2);
    EXPECT_EQ(step.failures(), 1);
    EXPECT_EQ(step.lastError(), RuntimeError::Overflow);
}

TEST(ResumeNext, ProgrammingErrorsAreNeverSwallowed)
{
    ResumeNext step;
    EXPECT_THROW(step([] { throw std::logic_error("bug"); }), std::logic_error);
    EXPECT_THROW(step([] { throw std::out_of_range("bug"); }), std::out_of_range);
}

TEST(PropertyBag, NamesIgnoreCaseAndDefaultsAreLeftOut)
{
    PropertyBag bag;
    bag.WriteProperty("GridSayisi", 10, 10);
    bag.WriteProperty("Ylabel", QString("(rpm)"), QString("YLabel"));
    bag.WriteProperty("TimeDivision", 200, 100);
    EXPECT_EQ(bag.names(), (QStringList{"Ylabel", "TimeDivision"}));
    EXPECT_EQ(bag.ReadProperty("timedivision", 100).toInt(), 200);
    EXPECT_EQ(bag.ReadProperty("GRIDSAYISI", 10).toInt(), 10);
    EXPECT_EQ(bag.ReadProperty("ylabel", QString("YLabel")).toString(), "(rpm)");
    // writing the default again removes a stored entry
    bag.WriteProperty("TIMEDIVISION", 100, 100);
    EXPECT_FALSE(bag.contains("TimeDivision"));
    EXPECT_EQ(bag.count(), 1);
}
