// The value tip shown while a slider is dragged: its text, size and place
// beside the thumb, its frame, the one shared window and its destruction at
// every release.

#include "SliderTestSupport.h"

#include "controls/common/OleColor.h"
#include "controls/slider/frmValueTip.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPointer>

#include <gtest/gtest.h>

#include <cmath>

using namespace tervalo;
using tervalo::testing::mainWindowSettings;
using tervalo::testing::mainWindowSlider;

namespace {

// A shown horizontal slider with the tip on, range 0..max, at (sx, sy).
std::unique_ptr<Myslider> horizontalWithTip(int max, int value, QPoint at = QPoint(100, 200))
{
    PropertyBag bag = mainWindowSettings();
    bag.WriteProperty("ShowValueTip", true);
    bag.WriteProperty("Max", max);
    auto s = mainWindowSlider(96, bag);
    s->setValue(value);
    s->move(at);
    s->show();
    return s;
}

QSize textSize(const QString &t)
{
    const QFontMetrics fm(frmValueTip::tipFont());
    return QSize(fm.horizontalAdvance(t), fm.height());
}

// Presses on the middle of the thumb.
void pressOnThumb(Myslider &s)
{
    const QImage thumb = s.SliderIcon();
    s.UserControl_MouseDown(1, 0, s.thumbLeft() + thumb.width() / 2.0f, s.thumbTop() + thumb.height() / 2.0f);
}

struct TipGuard {
    ~TipGuard() { frmValueTip::unload(); }
};

} // namespace

TEST(frmValueTip, AboveTheThumbOfAHorizontalSlider)
{
    TipGuard guard;
    auto s = horizontalWithTip(1000, 1000);
    ASSERT_EQ(frmValueTip::instance(), nullptr);
    pressOnThumb(*s);

    frmValueTip *tip = frmValueTip::instance();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->lblTip->text(), QStringLiteral("1000"));
    const QSize text = textSize("1000");
    EXPECT_EQ(tip->lblTip->geometry(), QRect(QPoint(2, 1), text));
    EXPECT_EQ(tip->size(), QSize(text.width() + 4, text.height() + 3));

    const QPoint screen = s->mapToGlobal(QPoint(0, 0));
    const QRect g = tip->geometry();
    // bottom edge two pixels above the thumb's top edge
    EXPECT_EQ(g.y() + g.height(), screen.y() + static_cast<int>(s->thumbTop()) - 2);
    // centred over the thumb (to the half pixel)
    const double thumbCentre = screen.x() + s->thumbLeft() + 4.0;
    EXPECT_LE(std::fabs(g.x() + g.width() / 2.0 - thumbCentre), 0.5);
    s->UserControl_MouseUp(1, 0, 0, 0);
    EXPECT_EQ(frmValueTip::instance(), nullptr);
}

TEST(frmValueTip, LeftOfTheThumbOfAVerticalSliderWithANegativeValue)
{
    TipGuard guard;
    Myslider s;
    s.resize(30, 108);
    s.setMin(-50);
    s.setMax(50);
    s.setValue(-7);
    s.move(300, 300);
    s.show();
    ASSERT_EQ(s.size(), QSize(16, 108));
    pressOnThumb(s);

    frmValueTip *tip = frmValueTip::instance();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->lblTip->text(), QStringLiteral("-7"));
    const QSize text = textSize("-7");
    EXPECT_EQ(tip->size(), QSize(text.width() + 4, text.height() + 3));
    const QPoint screen = s.mapToGlobal(QPoint(0, 0));
    const QRect g = tip->geometry();
    // right edge two pixels left of the thumb, centred on it vertically
    EXPECT_EQ(g.x() + g.width(), screen.x() + static_cast<int>(s.thumbLeft()) - 2);
    const double thumbMiddle = screen.y() + s.thumbTop() + 4.0;
    EXPECT_LE(std::fabs(g.y() + g.height() / 2.0 - thumbMiddle), 0.5);
    s.UserControl_MouseUp(1, 0, 0, 0);
}

TEST(frmValueTip, FollowsTheValueAndRedrawsItsFrameWhenItWidens)
{
    TipGuard guard;
    auto s = horizontalWithTip(10, 9);
    pressOnThumb(*s);
    QPointer<frmValueTip> tip = frmValueTip::instance();
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->lblTip->text(), QStringLiteral("9"));
    const int frames = tip->frameDrawCount();
    const int narrow = tip->width();
    const int left = tip->x();

    s->UserControl_MouseMove(1, 0, 400, 8);
    ASSERT_EQ(s->Value(), 10);
    ASSERT_EQ(frmValueTip::instance(), tip.data()); // the same window
    EXPECT_EQ(tip->lblTip->text(), QStringLiteral("10"));
    EXPECT_EQ(tip->width(), textSize("10").width() + 4);
    EXPECT_GT(tip->width(), narrow);
    EXPECT_GT(tip->x(), left - 1); // moved along with the thumb
    EXPECT_EQ(tip->frameDrawCount(), frames + 1);

    const QImage &f = tip->surface();
    ASSERT_EQ(f.size(), tip->size());
    const QRgb light = OleColor::toQColor(OleColor::system(OleColor::Light3D)).rgb();
    const QRgb dark = OleColor::toQColor(OleColor::system(OleColor::DarkShadow3D)).rgb();
    const int w = f.width(), h = f.height();
    EXPECT_EQ(f.pixel(0, 0), light);
    EXPECT_EQ(f.pixel(w - 2, 0), light);
    EXPECT_EQ(f.pixel(0, h - 2), light);
    EXPECT_EQ(f.pixel(w - 1, 0), dark);
    EXPECT_EQ(f.pixel(w - 1, h / 2), dark);
    EXPECT_EQ(f.pixel(0, h - 1), dark);
    EXPECT_EQ(f.pixel(w / 2, h - 1), dark);
    EXPECT_EQ(f.pixel(1, 1), qRgb(255, 255, 128));
    EXPECT_EQ(f.pixel(w - 2, h - 2), qRgb(255, 255, 128));

    // The same width again: no new frame.
    s->UserControl_MouseMove(1, 0, 500, 8);
    EXPECT_EQ(tip->frameDrawCount(), frames + 1);
    s->UserControl_MouseUp(1, 0, 0, 0);
    EXPECT_TRUE(tip.isNull());
}

TEST(frmValueTip, OneSharedWindowDestroyedAtEveryRelease)
{
    TipGuard guard;
    auto a = horizontalWithTip(10, 2, QPoint(50, 300));
    auto b = horizontalWithTip(10, 8, QPoint(400, 100));

    pressOnThumb(*a);
    QPointer<frmValueTip> first = frmValueTip::instance();
    ASSERT_TRUE(first);
    const QRect nearA = first->geometry();
    a->UserControl_MouseUp(1, 0, 4, 8);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(frmValueTip::instance(), nullptr);

    // A release of another button, or one not ending a drag, also unloads.
    pressOnThumb(*b);
    QPointer<frmValueTip> second = frmValueTip::instance();
    ASSERT_TRUE(second);
    EXPECT_NE(second->geometry().topLeft(), nearA.topLeft());
    EXPECT_EQ(second->lblTip->text(), QStringLiteral("8"));
    b->UserControl_MouseUp(2, 0, 4, 8);
    EXPECT_TRUE(second.isNull());
    EXPECT_FALSE(b->isDragging());
}

TEST(frmValueTip, NoneWhenShowValueTipIsFalse)
{
    TipGuard guard;
    auto s = horizontalWithTip(10, 0);
    s->setShowValueTip(false);
    s->UserControl_MouseDown(1, 0, 50, 8);
    s->UserControl_MouseMove(1, 0, 80, 8);
    EXPECT_EQ(frmValueTip::instance(), nullptr);
    s->UserControl_MouseUp(1, 0, 80, 8);
    EXPECT_EQ(frmValueTip::instance(), nullptr);
}

TEST(frmValueTip, NeverTakesTheFocus)
{
    TipGuard guard;
    auto s = horizontalWithTip(10, 0);
    s->activateWindow();
    pressOnThumb(*s);
    frmValueTip *tip = frmValueTip::instance();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(tip->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(tip->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_NE(QApplication::activeWindow(), tip);
    EXPECT_EQ(tip->lblTip->font(), frmValueTip::tipFont());
    EXPECT_EQ(frmValueTip::tipFont().pixelSize(), 9);
    s->UserControl_MouseUp(1, 0, 0, 0);
}

TEST(frmValueTip, DestroyingASliderMidDragUnloadsTheTip)
{
    auto s = horizontalWithTip(10, 0);
    pressOnThumb(*s);
    ASSERT_NE(frmValueTip::instance(), nullptr);
    s.reset();
    EXPECT_EQ(frmValueTip::instance(), nullptr);
}
