// Stored settings of the slider: defaults left out, names without regard to
// case, the main window's stored instances, and stored data that is damaged.

#include "SliderTestSupport.h"

#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace tervalo;
using tervalo::testing::mainWindowSettings;
using tervalo::testing::mainWindowSlider;

TEST(MysliderProperties, NewInstanceStoresOnlyItsThumb)
{
    Myslider s;
    s.InitProperties();
    PropertyBag bag;
    s.WriteProperties(bag);
    EXPECT_EQ(bag.names(), QStringList{"SliderIcon"});
    EXPECT_EQ(bag.ReadProperty("slidericon").value<QImage>(), Myslider::defaultThumb());
}

TEST(MysliderProperties, MainWindowSettingsRoundTrip)
{
    Myslider designed;
    designed.resize(96, 16);
    designed.setBackColor(0x00FF8080u);
    designed.setOrientation(0);
    designed.setRailStyle(99);
    designed.setShowValueTip(false);
    designed.setSliderIcon(Myslider::uprightThumb());
    designed.setRailPicture(QImage());

    PropertyBag bag;
    bag.WriteProperty("RailPicture", QVariant::fromValue(QImage(4, 4, QImage::Format_RGB32))); // stale
    designed.WriteProperties(bag);
    EXPECT_EQ(bag.names(), (QStringList{"BackColor", "SliderIcon", "Orientation", "RailStyle", "ShowValueTip"}));

    Myslider loaded;
    loaded.resize(96, 40);
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.BackColor(), 0x00FF8080u);
    EXPECT_TRUE(loaded.Enabled());
    EXPECT_EQ(loaded.Orientation(), 0);
    EXPECT_EQ(loaded.RailStyle(), 99);
    EXPECT_FALSE(loaded.ShowValueTip());
    EXPECT_EQ(loaded.SliderIcon(), Myslider::uprightThumb());
    EXPECT_EQ(loaded.SliderIcon().size(), QSize(8, 16));
    EXPECT_TRUE(loaded.RailPicture().isNull());
    EXPECT_EQ(loaded.Min(), 0);
    EXPECT_EQ(loaded.Max(), 10);
    EXPECT_EQ(loaded.Value(), 0);
    EXPECT_EQ(loaded.size(), QSize(96, 16)); // laid out as loaded
}

TEST(MysliderProperties, NonDefaultSettingsRoundTripAsWholeNumbers)
{
    Myslider s;
    s.setEnabled(false);
    s.setMax(300);
    s.setMin(-5);
    s.setValue(120);
    s.setRailStyle(2);
    s.setRailPicture(QImage(30, 6, QImage::Format_ARGB32));
    PropertyBag bag;
    s.WriteProperties(bag);
    EXPECT_EQ(bag.names(), (QStringList{"Enabled", "SliderIcon", "RailPicture", "RailStyle", "Min", "Max", "Value"}));
    for (const char *name : {"Min", "Max", "Value"})
        EXPECT_EQ(bag.ReadProperty(name).metaType(), QMetaType::fromType<qint32>()) << name;

    Myslider loaded;
    loaded.ReadProperties(bag);
    EXPECT_FALSE(loaded.Enabled());
    EXPECT_EQ(loaded.Min(), -5);
    EXPECT_EQ(loaded.Max(), 300);
    EXPECT_EQ(loaded.Value(), 120);
    EXPECT_EQ(loaded.RailStyle(), 2);
    EXPECT_EQ(loaded.RailPicture().size(), QSize(30, 6));
}

TEST(MysliderProperties, NamesAreReadWithoutRegardToCase)
{
    PropertyBag bag;
    bag.WriteProperty("backcolor", QVariant::fromValue<quint32>(0x00123456u));
    bag.WriteProperty("ORIENTATION", 0);
    bag.WriteProperty("showvaluetip", false);
    bag.WriteProperty("mAx", 40);
    bag.WriteProperty("value", 12);
    Myslider s;
    s.ReadProperties(bag);
    EXPECT_EQ(s.BackColor(), 0x00123456u);
    EXPECT_EQ(s.Orientation(), 0);
    EXPECT_FALSE(s.ShowValueTip());
    EXPECT_EQ(s.Max(), 40);
    EXPECT_EQ(s.Value(), 12);
}

TEST(MysliderProperties, LoadedValueIsNotClamped)
{
    PropertyBag bag = mainWindowSettings();
    bag.WriteProperty("Value", 15);
    auto s = mainWindowSlider(96, bag);
    EXPECT_EQ(s->Value(), 15);
    // The next assignment clamps it.
    s->setValue(15);
    EXPECT_EQ(s->Value(), 10);
    EXPECT_FLOAT_EQ(s->thumbLeft(), 88.0f);
}

struct DamagedRange {
    const char *name;
    int min, max;
    int expectedMin, expectedMax;
};

class MysliderDamagedRange : public ::testing::TestWithParam<DamagedRange> { };

// Stored data whose maximum is not above its minimum is repaired on loading:
// the control must not divide by zero placing the thumb, and stays usable.
TEST_P(MysliderDamagedRange, IsRepairedOnLoading)
{
    const DamagedRange &c = GetParam();
    PropertyBag bag = mainWindowSettings();
    bag.WriteProperty("Min", c.min);
    bag.WriteProperty("Max", c.max);
    bag.WriteProperty("Value", c.min);
    auto s = mainWindowSlider(96, bag);
    EXPECT_EQ(s->Min(), c.expectedMin);
    EXPECT_EQ(s->Max(), c.expectedMax);
    EXPECT_TRUE(std::isfinite(s->thumbLeft()));
    EXPECT_TRUE(std::isfinite(s->thumbTop()));

    s->setValue(c.expectedMax);
    EXPECT_EQ(s->Value(), c.expectedMax);
    EXPECT_FLOAT_EQ(s->thumbLeft(), 88.0f);
    s->UserControl_MouseDown(1, 0, 2.0f, 8.0f);
    s->UserControl_MouseMove(1, 0, -50.0f, 8.0f);
    s->UserControl_MouseUp(1, 0, -50.0f, 8.0f);
    EXPECT_EQ(s->Value(), c.expectedMin);
}

INSTANTIATE_TEST_SUITE_P(Table, MysliderDamagedRange,
                         ::testing::Values(DamagedRange{"Equal", 5, 5, 5, 6}, DamagedRange{"Reversed", 7, 3, 7, 8},
                                           DamagedRange{"EqualAtTop", INT_MAX, INT_MAX, INT_MAX - 1, INT_MAX},
                                           DamagedRange{"SpanTooWide", INT_MIN, INT_MAX, INT_MIN, -1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MysliderProperties, UnreadableEntryRaises380AndLeavesTheControl)
{
    auto s = mainWindowSlider();
    PropertyBag bag;
    bag.WriteProperty("Orientation", 1);
    bag.WriteProperty("Max", QStringLiteral("many"));
    try {
        s->ReadProperties(bag);
        FAIL() << "no error raised";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), 380);
    }
    EXPECT_EQ(s->Orientation(), 0);
    EXPECT_EQ(s->Max(), 10);
}

TEST(MysliderProperties, EnabledIsOneFlagHoweverItIsSet)
{
    // The control's own setter, QWidget's setter through a base pointer, a
    // property write and a signal connection all set the same property and
    // each change is announced.
    auto s = mainWindowSlider(96);
    QStringList changed;
    QObject::connect(s.get(), &Myslider::PropertyChanged, [&](const QString &name) { changed << name; });
    QWidget *base = s.get();

    base->setEnabled(false);
    EXPECT_FALSE(s->Enabled());
    s->setProperty("enabled", true);
    EXPECT_TRUE(s->Enabled());
    QObject sender;
    QObject::connect(&sender, &QObject::objectNameChanged, base, [base] { base->setEnabled(false); });
    sender.setObjectName(QStringLiteral("x"));
    EXPECT_FALSE(s->Enabled());
    s->setEnabled(true);
    EXPECT_TRUE(s->Enabled());
    EXPECT_EQ(changed, QStringList({"Enabled", "Enabled", "Enabled", "Enabled"}));

    PropertyBag bag;
    base->setEnabled(false);
    s->WriteProperties(bag);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool(), false);
}
