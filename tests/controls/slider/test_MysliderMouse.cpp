// Layout, drawing and the mouse protocol of the slider: thumb positions,
// presses on the thumb and the rail, drags past the ends, the rounding of a
// thumb position to a value, disabled controls and redraw economy.

#include "SliderTestSupport.h"

#include "controls/common/OleColor.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace tervalo;
using tervalo::testing::EventLog;
using tervalo::testing::mainWindowSettings;
using tervalo::testing::mainWindowSlider;

using Events = std::vector<std::string>;

TEST(MysliderLayout, HorizontalMainWindowSlider)
{
    auto s = mainWindowSlider(96);
    EXPECT_EQ(s->ScaleWidth(), 96);
    EXPECT_EQ(s->ScaleHeight(), 16); // the thumb's height
    EXPECT_EQ(s->railRect(), (Myslider::Rect{2, 6, 94, 10}));
    EXPECT_FLOAT_EQ(s->thumbTop(), 0.0f);
    s->setValue(5);
    EXPECT_FLOAT_EQ(s->thumbLeft(), 44.0f);
    s->setValue(3);
    EXPECT_FLOAT_EQ(s->thumbLeft(), 26.4f); // steps of 88 / 10 pixels
    s->setValue(10);
    EXPECT_FLOAT_EQ(s->thumbLeft(), 88.0f);
}

TEST(MysliderLayout, VerticalDefaultSliderHasItsMinimumAtTheBottom)
{
    Myslider s;
    s.resize(30, 108);
    s.setRailStyle(0);                   // lays the control out
    EXPECT_EQ(s.size(), QSize(16, 108)); // as wide as the 16 x 8 thumb
    EXPECT_EQ(s.railRect(), (Myslider::Rect{6, 2, 10, 106}));
    EXPECT_FLOAT_EQ(s.thumbTop(), 100.0f);
    s.setValue(10);
    EXPECT_FLOAT_EQ(s.thumbTop(), 0.0f);
    s.setValue(4);
    EXPECT_FLOAT_EQ(s.thumbTop(), 60.0f);

    // Dragging the thumb up raises the value.
    EventLog log(s);
    s.UserControl_MouseDown(1, 0, 8.0f, 63.0f); // on the thumb, 3 below its top
    EXPECT_TRUE(log.events == Events{"MouseDown"});
    s.UserControl_MouseMove(1, 0, 8.0f, 23.0f); // thumbTop 20
    EXPECT_EQ(s.Value(), 8);
    s.UserControl_MouseMove(1, 0, 8.0f, -40.0f);
    EXPECT_EQ(s.Value(), 10);
    EXPECT_EQ(log.count("ArrivedLast"), 1);
    s.UserControl_MouseUp(1, 0, 8.0f, -40.0f);
}

TEST(MysliderLayout, RailPictureSetsTheSize)
{
    auto h = mainWindowSlider(96);
    h->setRailPicture(QImage(50, 20, QImage::Format_RGB32));
    EXPECT_EQ(h->size(), QSize(54, 20));
    EXPECT_FLOAT_EQ(h->thumbTop(), 2.0f); // centred on the taller rail

    Myslider v;
    v.resize(40, 40);
    v.setRailStyle(99);
    v.setRailPicture(QImage(6, 70, QImage::Format_RGB32));
    EXPECT_EQ(v.size(), QSize(16, 74));
    EXPECT_FLOAT_EQ(v.thumbLeft(), 0.0f);
    v.setRailPicture(QImage(24, 70, QImage::Format_RGB32));
    EXPECT_EQ(v.size(), QSize(24, 74));
    EXPECT_FLOAT_EQ(v.thumbLeft(), 4.0f);
}

TEST(MysliderLayout, ZeroWidthBecomesThumbWideAndDragsToMin)
{
    for (int min : {0, 3}) {
        PropertyBag bag = mainWindowSettings();
        bag.WriteProperty("Min", min);
        bag.WriteProperty("Value", min);
        auto s = mainWindowSlider(0, bag);
        EXPECT_EQ(s->ScaleWidth(), 8);
        s->UserControl_MouseDown(1, 0, 20.0f, 8.0f);
        s->UserControl_MouseMove(1, 0, 60.0f, 8.0f);
        EXPECT_EQ(s->Value(), min);
        EXPECT_FLOAT_EQ(s->thumbLeft(), 0.0f);
        s->UserControl_MouseUp(1, 0, 60.0f, 8.0f);
    }
}

TEST(MysliderMouse, PressOnTheRailCentresTheThumbThenRaisesMouseDown)
{
    auto s = mainWindowSlider(96);
    EventLog log(*s);
    QTest::mousePress(s.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 8));
    EXPECT_EQ(s->Value(), 5);               // round(46 / 88 * 10)
    EXPECT_FLOAT_EQ(s->thumbLeft(), 44.0f); // snapped
    EXPECT_EQ(log.events, (Events{"Change", "MouseDown"}));
    EXPECT_EQ(log.last.button, 1);
    EXPECT_EQ(log.last.shift, 1);
    EXPECT_FLOAT_EQ(log.last.x, 50.0f);
    EXPECT_FLOAT_EQ(log.last.y, 8.0f);
    EXPECT_TRUE(s->isDragging());

    QTest::mouseRelease(s.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 8));
    EXPECT_EQ(log.events, (Events{"Change", "MouseDown", "Click", "MouseUp"}));
    EXPECT_FALSE(s->isDragging());
}

TEST(MysliderMouse, PressOnTheThumbKeepsItInPlace)
{
    auto s = mainWindowSlider(96);
    s->setValue(5);
    EventLog log(*s);
    s->UserControl_MouseDown(1, 0, 51.9f, 15.5f); // inside [44, 52) x [0, 16)
    EXPECT_EQ(log.events, Events{"MouseDown"});
    EXPECT_FLOAT_EQ(s->thumbLeft(), 44.0f);
    // The grab point is kept: moving by 8.8 pixels moves one step.
    s->UserControl_MouseMove(1, 0, 51.9f + 8.8f, 15.5f);
    EXPECT_EQ(s->Value(), 6);
    s->UserControl_MouseUp(1, 0, 0, 0);
}

struct HalfCase {
    const char *name;
    int width; // the thumb is 8 wide
    int max;
    float thumbLeft; // where the drag puts the thumb
    int expected;
};

class MysliderHalves : public ::testing::TestWithParam<HalfCase> { };

TEST_P(MysliderHalves, ThumbPositionRoundsHalfToEven)
{
    const HalfCase &c = GetParam();
    PropertyBag bag = mainWindowSettings();
    bag.WriteProperty("Max", c.max);
    auto s = mainWindowSlider(c.width, bag);
    s->UserControl_MouseDown(1, 0, 1.0f, 8.0f); // on the thumb at 0, grab 1
    s->UserControl_MouseMove(1, 0, c.thumbLeft + 1.0f, 8.0f);
    EXPECT_EQ(s->Value(), c.expected);
    const float track = static_cast<float>(c.width - 8);
    EXPECT_FLOAT_EQ(s->thumbLeft(), static_cast<float>(track * c.expected / c.max));
    s->UserControl_MouseUp(1, 0, 1.0f, 8.0f);
}

INSTANTIATE_TEST_SUITE_P(Table, MysliderHalves,
                         ::testing::Values(HalfCase{"TwoAndAHalf", 96, 10, 22.0f, 2},
                                           HalfCase{"ThreeAndAHalf", 24, 4, 14.0f, 4},
                                           HalfCase{"OneAndAHalf", 24, 4, 6.0f, 2},
                                           HalfCase{"JustAboveHalf", 96, 10, 22.5f, 3}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MysliderMouse, OtherButtonsDoNothing)
{
    auto s = mainWindowSlider(96);
    EventLog log(*s);
    for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(s.get(), b, Qt::NoModifier, QPoint(50, 8));
        QTest::mouseMove(s.get(), QPoint(80, 8));
        QTest::mouseRelease(s.get(), b, Qt::NoModifier, QPoint(80, 8));
    }
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(s->Value(), 0);
    EXPECT_FALSE(s->isDragging());
}

TEST(MysliderMouse, DisabledControlDoesNotDragButStillClicks)
{
    auto s = mainWindowSlider(96);
    s->setEnabled(false);
    EventLog log(*s);
    QTest::mousePress(s.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 8));
    EXPECT_FALSE(s->isDragging());
    QTest::mouseMove(s.get(), QPoint(90, 8));
    QTest::mouseRelease(s.get(), Qt::LeftButton, Qt::NoModifier, QPoint(90, 8));
    EXPECT_EQ(s->Value(), 0);
    EXPECT_EQ(log.events, Events{"Click"});

    // Released outside the control: nothing at all.
    log.clear();
    s->UserControl_MouseDown(1, 0, 50, 8);
    s->UserControl_MouseUp(1, 0, 96, 8);
    EXPECT_TRUE(log.events.empty());
}

TEST(MysliderMouse, ReleaseOutsideEndsTheDragWithoutClick)
{
    auto s = mainWindowSlider(96);
    EventLog log(*s);
    for (float y : {-1.0f, 16.0f}) {
        s->UserControl_MouseDown(1, 0, 4, 8);
        s->UserControl_MouseUp(1, 0, 4, y);
    }
    EXPECT_EQ(log.events, (Events{"MouseDown", "MouseUp", "MouseDown", "MouseUp"}));
    EXPECT_FALSE(s->isDragging());
}

TEST(MysliderMouse, DragPastEitherEndClampsWithOneArrivalPerArrival)
{
    auto s = mainWindowSlider(96);
    s->setValue(5);
    EventLog log(*s);
    QTest::mousePress(s.get(), Qt::LeftButton, Qt::NoModifier, QPoint(48, 8)); // grab at 4

    QTest::mouseMove(s.get(), QPoint(200, 8));
    EXPECT_FLOAT_EQ(s->thumbLeft(), 88.0f);
    EXPECT_EQ(s->Value(), 10);
    QTest::mouseMove(s.get(), QPoint(300, -50));
    QTest::mouseMove(s.get(), QPoint(-100, 8));
    EXPECT_FLOAT_EQ(s->thumbLeft(), 0.0f);
    EXPECT_EQ(s->Value(), 0);
    QTest::mouseMove(s.get(), QPoint(-200, 30));
    QTest::mouseMove(s.get(), QPoint(500, 8));
    QTest::mouseRelease(s.get(), Qt::LeftButton, Qt::NoModifier, QPoint(500, 8));

    EXPECT_EQ(
        log.events,
        (Events{"MouseDown", "Change", "ArrivedLast", "Change", "ArrivedFirst", "Change", "ArrivedLast", "MouseUp"}));
}

TEST(MysliderMouse, DragAcrossTheRangeRedrawsOncePerValue)
{
    auto s = mainWindowSlider(96);
    EventLog log(*s);
    const int before = s->redrawCount();
    s->UserControl_MouseDown(1, 0, 4, 8); // on the thumb: no redraw
    for (int x = -20; x <= 120; ++x)
        s->UserControl_MouseMove(1, 0, static_cast<float>(x), 8);
    for (int x = 120; x >= -20; --x)
        s->UserControl_MouseMove(1, 0, static_cast<float>(x) + 0.5f, 8);
    s->UserControl_MouseUp(1, 0, 0, 8);

    EXPECT_EQ(log.count("Change"), 20);
    EXPECT_EQ(s->redrawCount() - before, 20);
}

// ---- drawing --------------------------------------------------------------

namespace {
QRgb pixel(const Myslider &s, int x, int y)
{
    return s.surface().pixel(x, y);
}
QRgb sys(int index)
{
    return OleColor::toQColor(OleColor::system(index)).rgb();
}
} // namespace

TEST(MysliderDrawing, RailStyleNinetyNineWithoutPictureShowsOnlyTheThumb)
{
    auto s = mainWindowSlider(96);
    s->setValue(5);
    const QRgb back = qRgb(0x80, 0x80, 0xFF); // 0x00FF8080
    ASSERT_EQ(s->surface().size(), QSize(96, 16));
    EXPECT_EQ(pixel(*s, 2, 6), back); // no rail
    EXPECT_EQ(pixel(*s, 93, 9), back);
    EXPECT_EQ(pixel(*s, 44, 0), back); // the thumb's cut corner
    EXPECT_EQ(pixel(*s, 45, 0), qRgb(0, 0, 0));
    EXPECT_EQ(pixel(*s, 45, 1), qRgb(7, 139, 20));
    EXPECT_EQ(pixel(*s, 45, 3), qRgb(62, 232, 57));
    EXPECT_EQ(pixel(*s, 48, 8), qRgb(237, 244, 87));
    EXPECT_EQ(pixel(*s, 43, 8), back);
}

struct EdgeCase {
    const char *name;
    int style;
    // colours of the outer top-left, outer top-right, outer bottom-left and
    // inner top-left / inner bottom-right pixels; -1 for the background
    int outerTopLeft, outerTopRight, outerBottomLeft, innerTopLeft, innerBottomRight;
};

class MysliderRailEdges : public ::testing::TestWithParam<EdgeCase> { };

TEST_P(MysliderRailEdges, FollowTheDesktopLayout)
{
    const EdgeCase &c = GetParam();
    auto s = mainWindowSlider(96);
    s->setRailStyle(c.style);
    const Myslider::Rect r = s->railRect();
    const QRgb back = qRgb(0x80, 0x80, 0xFF);
    auto expected = [&](int index) { return index < 0 ? back : sys(index); };
    const int right = r.right - 1, bottom = r.bottom - 1;
    // away from the thumb at the left end
    EXPECT_EQ(pixel(*s, right, r.top), expected(c.outerTopRight));
    EXPECT_EQ(pixel(*s, 40, r.top), expected(c.outerTopLeft));
    EXPECT_EQ(pixel(*s, 40, bottom), expected(c.outerBottomLeft));
    EXPECT_EQ(pixel(*s, right, r.top + 1), expected(c.outerBottomLeft));
    EXPECT_EQ(pixel(*s, r.left + 8, bottom), expected(c.outerBottomLeft));
    EXPECT_EQ(pixel(*s, 40, r.top + 1), expected(c.innerTopLeft));
    EXPECT_EQ(pixel(*s, right - 1, 8), expected(c.innerBottomRight));
    EXPECT_EQ(pixel(*s, 40, 0), back); // no fill outside
}

INSTANTIATE_TEST_SUITE_P(
    Table, MysliderRailEdges,
    ::testing::Values(EdgeCase{"Sunken", 0, OleColor::ButtonShadow, OleColor::ButtonHighlight,
                               OleColor::ButtonHighlight, OleColor::DarkShadow3D, OleColor::Light3D},
                      EdgeCase{"Raised", 1, OleColor::Light3D, OleColor::DarkShadow3D, OleColor::DarkShadow3D,
                               OleColor::ButtonHighlight, OleColor::ButtonShadow},
                      EdgeCase{"SunkenOuterLine", 2, OleColor::ButtonShadow, OleColor::ButtonHighlight,
                               OleColor::ButtonHighlight, -1, -1},
                      EdgeCase{"RaisedInnerLine", 3, OleColor::ButtonHighlight, OleColor::ButtonShadow,
                               OleColor::ButtonShadow, -1, -1},
                      EdgeCase{"None", 4, -1, -1, -1, -1, -1}, EdgeCase{"Unknown", 7, -1, -1, -1, -1, -1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MysliderDrawing, RailPictureIsPaintedUnscaled)
{
    auto s = mainWindowSlider(96);
    QImage rail(40, 6, QImage::Format_RGB32);
    rail.fill(QColor(1, 2, 3));
    s->setRailPicture(rail);
    ASSERT_EQ(s->size(), QSize(44, 16));
    // top-left at (2, 5); the thumb covers the first 8 columns
    EXPECT_EQ(pixel(*s, 8, 5), qRgb(1, 2, 3));
    EXPECT_EQ(pixel(*s, 41, 10), qRgb(1, 2, 3));
    EXPECT_NE(pixel(*s, 41, 4), qRgb(1, 2, 3));
    EXPECT_NE(pixel(*s, 41, 11), qRgb(1, 2, 3));
    EXPECT_NE(pixel(*s, 42, 10), qRgb(1, 2, 3));
}

TEST(MysliderDrawing, BackColorRedrawsAndSystemColoursFollowThePalette)
{
    auto s = mainWindowSlider(96);
    const int redraws = s->redrawCount();
    s->setBackColor(0x8000000Fu);
    EXPECT_EQ(s->redrawCount(), redraws + 1);
    EXPECT_EQ(pixel(*s, 30, 2), s->palette().color(QPalette::Button).rgb());
    s->setBackColor(0x00332211u);
    EXPECT_EQ(pixel(*s, 30, 2), qRgb(0x11, 0x22, 0x33));
}

TEST(MysliderDrawing, DefaultAndUprightThumbsAreTheSameDesign)
{
    const QImage a = Myslider::defaultThumb();
    const QImage b = Myslider::uprightThumb();
    ASSERT_EQ(a.size(), QSize(16, 8));
    ASSERT_EQ(b.size(), QSize(8, 16));
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 8; ++y)
            EXPECT_EQ(a.pixel(x, y), b.pixel(y, x)) << x << "," << y;
    EXPECT_EQ(qAlpha(a.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(a.pixel(15, 7)), 0);
    EXPECT_EQ(a.pixelColor(1, 0), QColor(0, 0, 0));
    EXPECT_EQ(a.pixelColor(14, 3), QColor(7, 139, 20));
    EXPECT_EQ(a.pixelColor(11, 3), QColor(62, 232, 57));
    EXPECT_EQ(a.pixelColor(10, 3), QColor(237, 244, 87));
}

TEST(MysliderDrawing, ShowsAPointingHand)
{
    Myslider s;
    EXPECT_EQ(s.cursor().shape(), Qt::PointingHandCursor);
}

TEST(MysliderLayout, ResizingAShownSliderKeepsTheThumbHeight)
{
    auto s = mainWindowSlider(96);
    s->setValue(5);
    s->show();
    s->resize(120, 40); // the control corrects its height at once
    EXPECT_EQ(s->size(), QSize(120, 16));
    EXPECT_FLOAT_EQ(s->thumbLeft(), 56.0f); // half of the 112-pixel track
    EXPECT_EQ(s->railRect(), (Myslider::Rect{2, 6, 118, 10}));
    EXPECT_EQ(s->surface().size(), QSize(120, 16));
}

TEST(MysliderDrawing, TheWidgetShowsItsSurface)
{
    auto s = mainWindowSlider(96);
    s->setRailStyle(0);
    s->setValue(7);
    s->show();
    const QImage shown = s->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, s->surface());
}
