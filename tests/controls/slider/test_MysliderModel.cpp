// Value, range and property assignments of the slider: clamping, the order
// of the change events, invalid ranges and the notifications to the host.

#include "SliderTestSupport.h"

#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

using namespace tervalo;
using tervalo::testing::EventLog;
using tervalo::testing::mainWindowSlider;

using Events = std::vector<std::string>;

TEST(MysliderModel, NewInstanceHasTheDefaults)
{
    Myslider s;
    EXPECT_EQ(s.Min(), 0);
    EXPECT_EQ(s.Max(), 10);
    EXPECT_EQ(s.Value(), 0);
    EXPECT_TRUE(s.Enabled());
    EXPECT_EQ(s.Orientation(), 1);
    EXPECT_EQ(s.RailStyle(), 0);
    EXPECT_TRUE(s.ShowValueTip());
    EXPECT_EQ(s.BackColor(), 0x8000000Fu);
    EXPECT_EQ(s.SliderIcon(), Myslider::defaultThumb());
    EXPECT_TRUE(s.RailPicture().isNull());
    EXPECT_TRUE(s.isEnabled()); // the widget itself
}

struct ValueCase {
    const char *name;
    int start;
    int assign;
    int expected;
    Events events;
};

class MysliderValue : public ::testing::TestWithParam<ValueCase> { };

TEST_P(MysliderValue, ClampsAndRaisesEventsInOrder)
{
    const ValueCase &c = GetParam();
    auto s = mainWindowSlider();
    s->setValue(c.start);
    const int redraws = s->redrawCount();
    EventLog log(*s);

    s->setValue(c.assign);

    EXPECT_EQ(s->Value(), c.expected);
    EXPECT_EQ(log.events, c.events);
    EXPECT_EQ(log.notified, Events{"Value"}); // also when nothing changed
    EXPECT_EQ(s->redrawCount() - redraws, c.events.empty() ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Table, MysliderValue,
                         ::testing::Values(ValueCase{"AboveMax", 5, 25, 10, {"Change", "ArrivedLast"}},
                                           ValueCase{"BelowMin", 10, -3, 0, {"Change", "ArrivedFirst"}},
                                           ValueCase{"ToMax", 4, 10, 10, {"Change", "ArrivedLast"}},
                                           ValueCase{"ToMin", 4, 0, 0, {"Change", "ArrivedFirst"}},
                                           ValueCase{"Inside", 4, 7, 7, {"Change"}}, ValueCase{"Same", 5, 5, 5, {}},
                                           ValueCase{"ClampedToSame", 10, 99, 10, {}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MysliderModel, FirstAssignmentAfterLoadingRaisesChangeEvenAtTheLoadedValue)
{
    PropertyBag bag = tervalo::testing::mainWindowSettings();
    bag.WriteProperty("Value", 4, 0);
    auto s = mainWindowSlider(96, bag);
    ASSERT_EQ(s->Value(), 4);
    EventLog log(*s);
    s->setValue(4);
    EXPECT_EQ(log.events, Events{"Change"});
}

TEST(MysliderModel, NewRangeMaxThenMinOnALoadedInstance)
{
    auto s = mainWindowSlider();
    EventLog log(*s);

    s->setMax(20);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(log.notified, Events{"Max"});

    log.clear();
    s->setMin(1);
    EXPECT_EQ(s->Value(), 1);
    EXPECT_EQ(log.events, (Events{"Change", "ArrivedFirst"}));
    EXPECT_EQ(log.notified, (Events{"Value", "Min"}));
    EXPECT_FLOAT_EQ(s->thumbLeft(), 0.0f);

    // The range now spans 1..20: 11 sits 10/19 along the 88-pixel track.
    s->setValue(11);
    EXPECT_FLOAT_EQ(s->thumbLeft(), static_cast<float>(88.0L * 10 / 19));
    log.clear();
    s->setValue(20);
    EXPECT_EQ(log.events, (Events{"Change", "ArrivedLast"}));
    EXPECT_FLOAT_EQ(s->thumbLeft(), 88.0f);
}

TEST(MysliderModel, LoweringMaxLeavesTheValueUntilTheNextAssignment)
{
    auto s = mainWindowSlider();
    s->setValue(8);
    EventLog log(*s);
    const int redraws = s->redrawCount();

    s->setMax(5);
    EXPECT_EQ(s->Value(), 8);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(s->redrawCount(), redraws);

    s->setValue(8);
    EXPECT_EQ(s->Value(), 5);
    EXPECT_EQ(log.events, (Events{"Change", "ArrivedLast"}));
}

struct InvalidRange {
    const char *name;
    std::function<void(Myslider &)> assign;
    int error;
};

class MysliderInvalidRange : public ::testing::TestWithParam<InvalidRange> { };

TEST_P(MysliderInvalidRange, RaisesAndChangesNothing)
{
    const InvalidRange &c = GetParam();
    auto s = mainWindowSlider();
    s->setMin(-10);
    s->setValue(3);
    const float left = s->thumbLeft();
    EventLog log(*s);

    try {
        c.assign(*s);
        FAIL() << "no error raised";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), c.error);
    }
    EXPECT_EQ(s->Min(), -10);
    EXPECT_EQ(s->Max(), 10);
    EXPECT_EQ(s->Value(), 3);
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(log.notified.empty());
    // The range is intact: the thumb of 10 is still at the far end.
    s->setValue(10);
    EXPECT_FLOAT_EQ(s->thumbLeft(), 88.0f);
    EXPECT_NE(left, s->thumbLeft());
}

INSTANTIATE_TEST_SUITE_P(Table, MysliderInvalidRange,
                         ::testing::Values(InvalidRange{"MinAtMax", [](Myslider &s) { s.setMin(10); }, 380},
                                           InvalidRange{"MinAboveMax", [](Myslider &s) { s.setMin(11); }, 380},
                                           InvalidRange{"MaxAtMin", [](Myslider &s) { s.setMax(-10); }, 380},
                                           InvalidRange{"MaxBelowMin", [](Myslider &s) { s.setMax(INT_MIN); }, 380},
                                           // a range wider than 32 bits would overflow the span
                                           InvalidRange{"SpanOverflowMax", [](Myslider &s) { s.setMax(INT_MAX); }, 6},
                                           InvalidRange{"SpanOverflowMin", [](Myslider &s) { s.setMin(INT_MIN); }, 6}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MysliderModel, EverySetterNotifiesItsName)
{
    Myslider s;
    EventLog log(s);
    s.setEnabled(false);
    s.setBackColor(0x0000FF00u);
    s.setMax(50);
    s.setMin(2);
    s.setValue(7);
    s.setOrientation(0);
    s.setRailStyle(3);
    s.setSliderIcon(Myslider::uprightThumb());
    s.setRailPicture(QImage(20, 4, QImage::Format_RGB32));
    s.setShowValueTip(false);
    EXPECT_EQ(log.notified,
              (Events{"Enabled", "BackColor", "Max", "Value", "Min", "Value", "Orientation", "RailStyle", "SliderIcon",
                      "RailPicture", "ShowValueTip"}));
    EXPECT_FALSE(s.Enabled());
    EXPECT_EQ(s.BackColor(), 0x0000FF00u);
    EXPECT_EQ(s.Orientation(), 0);
    EXPECT_EQ(s.RailStyle(), 3);
    EXPECT_EQ(s.SliderIcon(), Myslider::uprightThumb());
    EXPECT_EQ(s.RailPicture().size(), QSize(20, 4));
    EXPECT_FALSE(s.ShowValueTip());
}

TEST(MysliderModel, EnabledAndShowValueTipDrawNothing)
{
    auto s = mainWindowSlider();
    s->setValue(6);
    const int redraws = s->redrawCount();
    const QImage before = s->surface();
    s->setEnabled(false);
    s->setShowValueTip(true);
    s->setEnabled(true);
    EXPECT_EQ(s->redrawCount(), redraws);
    EXPECT_EQ(s->surface(), before);
    EXPECT_TRUE(s->isEnabled());
}

TEST(MysliderModel, OrientationAndRailStyleAcceptAnyCode)
{
    auto s = mainWindowSlider();
    s->setValue(5);
    const QSize size = s->size();
    const float left = s->thumbLeft();
    s->setOrientation(7);
    s->setRailStyle(42);
    EXPECT_EQ(s->Orientation(), 7);
    EXPECT_EQ(s->RailStyle(), 42);
    // No orientation-specific step runs: size and thumb stay.
    EXPECT_EQ(s->size(), size);
    EXPECT_FLOAT_EQ(s->thumbLeft(), left);
    s->setValue(9);
    EXPECT_EQ(s->Value(), 9);
    EXPECT_FLOAT_EQ(s->thumbLeft(), left);
}
