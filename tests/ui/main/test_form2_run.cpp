// Start-up, the actuator word on the port, START / STOP, the control cycle's
// measurement and the ways out of the program.
#include "ui/main/Form2Fixture.h"

#include "app/ExitSignals.h"
#include "controls/form/Shape.h"
#include "controls/form/Timer.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include <csignal>

using namespace tervalo;

namespace {
using Writes = std::vector<std::pair<int, int>>;
Writes writesOf(const MemoryPort &p)
{
    Writes w;
    for (const auto &x : p.writes())
        w.emplace_back(x.port, x.value);
    return w;
}
} // namespace

TEST_F(Form2Fixture, StartUpPutsOutTheZeroWordAndLeavesTheWindowIdleInEnglish)
{
    EXPECT_EQ(writesOf(port), (Writes{{888, 0}, {890, 11}}));
    EXPECT_TRUE(form->state().portDriverPresent);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(ctl(*form).Acik->isChecked());
    EXPECT_EQ(form->frontPanel(), ctl(*form).Frame4);
    EXPECT_TRUE(ctl(*form).Dil(0)->isChecked());
    EXPECT_EQ(form->state().termNM, "NM");
    EXPECT_EQ(form->state().reference.value(), 0);
    EXPECT_EQ(ctl(*form).Myslider1->Value(), 1000);
    EXPECT_FALSE(ctl(*form).Timer1->Enabled());
    EXPECT_FALSE(ctl(*form).Pcontrol->isEnabled());
    EXPECT_EQ(ctl(*form).Slider1->Min(), 0);
    EXPECT_EQ(ctl(*form).Slider1->Max(), 4095);
    EXPECT_EQ(ctl(*form).Text1->text(), "2");
    EXPECT_EQ(ctl(*form).Text2->text(), "10");
    EXPECT_EQ(ctl(*form).Label40->text(), "Kp= 0");
    EXPECT_EQ(ctl(*form).Combo1(24)->Text(), "ZE");
    EXPECT_EQ(ctl(*form).Combo1(0)->Text(), "NB");
    EXPECT_EQ(ctl(*form).Combo1(48)->Text(), "PB");
}

TEST_F(Form2Fixture, WithoutTheDriverTheMessageShowsOnceAndSimulationStillWorks)
{
    makeForm(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Please set up the 'port95nt.exe'.\r\nWhen setup complated you must restart your computer.");
    EXPECT_FALSE(form->state().portDriverPresent);
    EXPECT_EQ(portReports.size(), 1u); // the real cause, for stderr
    selectSimulation();
    ctl(*form).Pcontrol->setValue(true);
    ctl(*form).Slider2->setValue(500);
    run(2);
    EXPECT_EQ(ctl(*form).Slider1->Value(), 0); // STOP puts the actuator back to its minimum
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Form2Fixture, ActuatorValueReachesTheRegistersAsA12BitWord)
{
    const struct {
        int value, data, control;
    } cases[] = {{1, 0, 10}, {1300, 81, 15}, {4095, 255, 4}, {2730, 170, 1}, {0, 0, 11}};
    for (const auto &c : cases) {
        port.clearWrites();
        ctl(*form).Slider1->setValue(c.value);
        EXPECT_EQ(writesOf(port), (Writes{{888, c.data}, {890, c.control}})) << c.value;
    }
    port.clearWrites();
    ctl(*form).Slider1->setValue(0); // unchanged: no handler, no write
    EXPECT_TRUE(port.writes().empty());
}

TEST_F(Form2Fixture, OpenLoopShowsTheWordOnTheLedRowClosedLoopDoesNot)
{
    ctl(*form).Slider1->setValue(4095);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(ctl(*form).ShapeLed(k)->FillColor(), QColor(255, 0, 0)) << k;
    ctl(*form).Slider1->setValue(1300); // 010100010100
    const char *bits = "010100010100";
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(ctl(*form).ShapeLed(k)->FillColor(), bits[11 - k] == '1' ? QColor(255, 0, 0) : QColor(255, 192, 192))
            << k;
    EXPECT_EQ(form->state().actuatorBits, "010100010100");
    EXPECT_EQ(form->state().dataBits, "01010001");
    EXPECT_EQ(form->state().controlBits, "0100");
    ctl(*form).Kapalii->setValue(true);
    ctl(*form).Slider1->setValue(4095);
    EXPECT_EQ(ctl(*form).ShapeLed(11)->FillColor(), QColor(255, 192, 192)); // unchanged in closed loop
}

TEST_F(Form2Fixture, FirstCycleOfAKitRunMeasuresFivePerCountedChange)
{
    ctl(*form).Kapalii->setValue(true);
    run(1, [this](int) { form->state().pulseCount = 250; });
    // after STOP the values are reset; look at what the cycle showed
    EXPECT_EQ(ctl(*form).Mygraph1->GraphCaption(2), "Y(t) =1250");
    EXPECT_EQ(ctl(*form).Mygraph1->GraphCaption(3), "E(t) =-250");
    EXPECT_EQ(ctl(*form).Mygraph1->GraphCaption(1), "RT=1000");
    EXPECT_EQ(form->state().sampleCount.value(), 1);
    EXPECT_EQ(ctl(*form).Slider1->Min(), 1300);
    EXPECT_EQ(ctl(*form).Slider1->Value(), 1300);
}

TEST_F(Form2Fixture, CycleStepsAndOverflowingCountKeepsThePreviousOutput)
{
    ctl(*form).Kapalii->setValue(true);
    // drive the cycle directly to look between the steps
    form->state().reference = 1000;
    form->state().pulseCount = 100;
    form->Timer1_Timer();
    EXPECT_EQ(form->state().outputY, 500);
    EXPECT_EQ(ctl(*form).Label17->text(), "500");
    EXPECT_EQ(form->state().pulseCount.value(), 0);
    form->state().pulseCount = 6554; // x 5 overflows
    form->Timer1_Timer();
    EXPECT_EQ(form->state().outputY, 500);
    EXPECT_EQ(form->state().pulseCount.value(), 0);
    EXPECT_EQ(form->state().currentError.value(), 500);
    EXPECT_EQ(form->state().errorDelta.value(), 0);
    EXPECT_EQ(form->state().prevError.value(), 500);
}

TEST_F(Form2Fixture, StopEndsTheCountingLoopAndStartReturns)
{
    ctl(*form).Kapalii->setValue(true);
    bool runningInside = false;
    pump.script.push_back([&] { runningInside = form->runDepth() == 1 && ctl(*form).Timer1->Enabled(); });
    pump.script.push_back([this] { form->Label33_Click(); });
    form->Label32_Click();
    EXPECT_TRUE(runningInside);
    EXPECT_EQ(form->runDepth(), 0);
    EXPECT_FALSE(ctl(*form).Timer1->Enabled());
    EXPECT_TRUE(ctl(*form).Command1->isEnabled());
    EXPECT_TRUE(ctl(*form).Myslider1->isEnabled());
    EXPECT_TRUE(ctl(*form).Dil(0)->isEnabled());
    EXPECT_EQ(form->state().reference.value(), 0);
}

TEST_F(Form2Fixture, DuringARunTheReferenceAndLanguageAreLocked)
{
    ctl(*form).Kapalii->setValue(true);
    pump.script.push_back([&] {
        EXPECT_FALSE(ctl(*form).Myslider1->isEnabled());
        EXPECT_FALSE(ctl(*form).Dil(1)->isEnabled());
        EXPECT_FALSE(ctl(*form).Picture4->isEnabled());
        EXPECT_FALSE(ctl(*form).Command1->isEnabled());
        form->Label33_Click();
    });
    form->Label32_Click();
}

TEST_F(Form2Fixture, StartDuringARunNestsAndOneStopEndsBoth)
{
    ctl(*form).Kapalii->setValue(true);
    int maxDepth = 0;
    pump.script.push_back([&] {
        pump.script.push_back([&] {
            maxDepth = form->runDepth();
            form->Label33_Click();
        });
        form->Label32_Click();
    });
    form->Label32_Click();
    EXPECT_EQ(maxDepth, 2);
    EXPECT_EQ(form->runDepth(), 0);
}

TEST_F(Form2Fixture, StopWhileIdleIsHarmless)
{
    port.clearWrites();
    form->Label33_Click();
    form->Label33_Click();
    EXPECT_TRUE(port.writes().empty());
    ctl(*form).Slider1->setValue(200);
    port.clearWrites();
    form->Label33_Click(); // brings the actuator back to the minimum
    EXPECT_EQ(writesOf(port), (Writes{{888, 0}, {890, 11}}));
}

TEST_F(Form2Fixture, MotorAnimationRunsWhileThePeriodCountsMoreThanTen)
{
    ctl(*form).Kapalii->setValue(true);
    form->state().reference = 1000;
    form->state().pulseCount = 11;
    form->Timer1_Timer();
    EXPECT_TRUE(ctl(*form).Timer2->Enabled());
    form->state().pulseCount = 10;
    form->Timer1_Timer();
    EXPECT_FALSE(ctl(*form).Timer2->Enabled());
}

TEST_F(Form2Fixture, AVanishingDeviceStopsPortAccessOnceAndTheRunGoesOn)
{
    port.failAfter(0);
    ctl(*form).Slider1->setValue(100);
    EXPECT_FALSE(form->state().portDriverPresent);
    ASSERT_EQ(portReports.size(), 1u);
    ctl(*form).Slider1->setValue(200); // no further attempt, no further report
    EXPECT_EQ(portReports.size(), 1u);
    EXPECT_EQ(ctl(*form).Slider1->Value(), 200);
}

// Every way out of the program puts out the all-zero word first.
TEST_F(Form2Fixture, ExitPathsLeaveTheKitUndriven)
{
    using Exit = std::function<void(Form2 &)>;
    const std::vector<std::pair<const char *, Exit>> exits = {
        {"close button", [](Form2 &f) { f.Picture14_Click(); }},
        {"window closed",
         [](Form2 &f) {
             QCloseEvent e;
             QCoreApplication::sendEvent(&f, &e);
         }},
        {"program end", [](Form2 &f) { f.endProgram(); }},
    };
    for (const auto &[name, exit] : exits) {
        makeForm(&port);
        ctl(*form).Slider1->setValue(4095);
        port.clearWrites();
        quits = 0;
        exit(*form);
        EXPECT_EQ(writesOf(port), (Writes{{888, 0}, {890, 11}})) << name;
        EXPECT_EQ(quits, 1) << name;
        EXPECT_TRUE(form->ending()) << name;
    }
}

TEST_F(Form2Fixture, CloseDuringARunEndsTheLoopAfterTheZeroWord)
{
    ctl(*form).Kapalii->setValue(true);
    pump.script.push_back([this] {
        ctl(*form).Slider1->setValue(3000);
        port.clearWrites();
        form->Picture14_Click();
    });
    form->Label32_Click(); // returns: the loop saw the program end
    EXPECT_EQ(writesOf(port), (Writes{{888, 0}, {890, 11}}));
}

TEST_F(Form2Fixture, WithoutTheDriverTheCloseButtonWritesNothing)
{
    makeForm(nullptr);
    form->Picture14_Click();
    EXPECT_EQ(quits, 1);
}

TEST_F(Form2Fixture, TerminationSignalEndsTheProgramThroughItsExitPath)
{
    QObject owner;
    int ended = 0;
    ExitSignals::install(&owner, [&] {
        ++ended;
        form->endProgram();
    });
    ctl(*form).Slider1->setValue(4095);
    port.clearWrites();
    std::raise(SIGTERM);
    for (int i = 0; i < 20 && ended == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(writesOf(port), (Writes{{888, 0}, {890, 11}}));
}
