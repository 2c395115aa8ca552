// A student's session in the real window, driven with the mouse: the window
// runs on the application's own event loop and its 200 ms timer, so this
// test takes a few seconds of wall time.
#include "controls/form/ClickLabel.h"
#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "controls/form/Timer.h"
#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "plant/MemoryPort.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Probe.h"

#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace tervalo;

namespace {

void click(QWidget *w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

// START, then STOP by mouse after the given time; returns when the counting
// loop has ended.
void runFor(Form2 &form, int ms)
{
    QTimer::singleShot(ms, &form, [&form] { click(ctl(form).Label33); });
    click(ctl(form).Label32);
}

int tracePixels(const QImage &img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 31; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

} // namespace

TEST(Walkthrough, StudentSessionInTheRealWindow)
{
    MemoryPort port;
    Form2 form(&port);
    form.showMessage = [](const QString &) {};
    form.showAbout = [] {};
    int quits = 0;
    form.quitApplication = [&quits] { ++quits; };
    form.Form_Load();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // open loop: the actuator bar drives the kit
    port.clearWrites();
    ctl(form).Slider1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(ctl(form).Slider1->Value(), 1);
    ASSERT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[1].value, 10);

    // simulation with PID and non-zero gains
    click(ctl(form).simulasyon);
    EXPECT_TRUE(ctl(form).simulasyon->isChecked());
    EXPECT_EQ(ctl(form).Slider1->Value(), 0);
    click(ctl(form).PIDcontrol);
    EXPECT_EQ(form.frontPanel(), ctl(form).PIDDenetim);
    ctl(form).Slider6->setValue(90);
    ctl(form).Slider7->setValue(5);
    ctl(form).Slider8->setValue(370);
    EXPECT_EQ(ctl(form).Label6->text(), "Kp= 0.09");

    runFor(form, 900);
    EXPECT_EQ(form.runDepth(), 0);
    EXPECT_GE(form.state().sampleCount.value(), 2);
    EXPECT_FALSE(ctl(form).Timer1->Enabled());
    EXPECT_GT(tracePixels(ctl(form).Mygraph1->picture(), qRgb(0, 0, 255)), 0); // output trace
    EXPECT_TRUE(ctl(form).Mygraph1->GraphCaption(2).startsWith("Y(t) ="));
    EXPECT_EQ(ctl(form).Slider1->Value(), 0); // STOP

    // fuzzy: the table fires and highlights
    click(ctl(form).Bulanik);
    EXPECT_EQ(form.frontPanel(), ctl(form).Frame5);
    runFor(form, 700);
    EXPECT_GE(form.state().sampleCount.value(), 2);
    int highlighted = 0;
    for (int i = 0; i < 49; ++i)
        if (ctl(form).Combo1(i)->BackColor() == QColor(0, 0, 255))
            ++highlighted;
    EXPECT_GE(highlighted, 1);

    // RESET, then the language switch
    click(ctl(form).Label34);
    EXPECT_EQ(ctl(form).Combo1(24)->BackColor(), QColor(255, 0, 0));
    ctl(form).Combo1(0)->setText("PB");
    click(ctl(form).Dil(1));
    EXPECT_EQ(ctl(form).Label28->text(), "BAŞLA");
    EXPECT_EQ(ctl(form).Combo1(24)->Text(), "SS");
    EXPECT_EQ(ctl(form).Combo1(0)->Text(), "PB");
    click(ctl(form).Dil(0));
    EXPECT_EQ(ctl(form).Label28->text(), "START");

    // close: the zero word, then the program ends
    port.clearWrites();
    click(ctl(form).Picture14);
    EXPECT_EQ(quits, 1);
    ASSERT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[0].value, 0);
    EXPECT_EQ(port.writes()[1].value, 11);
}
