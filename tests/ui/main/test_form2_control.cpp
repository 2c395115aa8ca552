// Closing the loop: the classic laws and the fuzzy controller driven by the
// window's own handlers against the simulated plant, the sliders that feed
// them, RESET, the selection handlers and the language switch's rule table.
#include "ui/main/Form2Fixture.h"

#include "controls/form/Timer.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

using namespace tervalo;

namespace {
struct Sample {
    long long output;
    int actuator;
};
} // namespace

class ClosedLoop : public Form2Fixture {
protected:
    // Runs n cycles and records, after each, the output seen and the
    // actuator value the controller left.
    std::vector<Sample> runRecorded(int n)
    {
        std::vector<Sample> out;
        run(n + 1, [&](int i) {
            if (i > 1)
                out.push_back({form->state().outputY, ctl(*form).Slider1->Value()});
        });
        return out;
    }
};

TEST_F(ClosedLoop, WorkedProportionalLoopInSimulation)
{
    selectSimulation();
    ctl(*form).Pcontrol->setValue(true);
    ctl(*form).Slider2->setValue(500); // kp 0.5
    const auto s = runRecorded(3);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].output, 0);
    EXPECT_EQ(s[0].actuator, 500);
    EXPECT_EQ(s[1].output, 632);
    EXPECT_EQ(s[1].actuator, 684);
    EXPECT_EQ(s[2].output, 864); // round(1.26302 x 684)
    EXPECT_EQ(s[2].actuator, 684 + 68);
    EXPECT_EQ(ctl(*form).Mygraph1->GraphCaption(4), "Kp= 0.5");
}

TEST_F(ClosedLoop, FirstCycleOfEachLawHasNoPreviousError)
{
    struct Case {
        const char *name;
        std::function<void(Form2 &)> select;
        int expected; // actuator after cycle 1, from 1000 with e(1) = 1000
        QLabel *Form2Controls::*readout;
    };
    const std::vector<Case> cases = {
        {"P",
         [](Form2 &f) {
             ctl(f).Pcontrol->setValue(true);
             ctl(f).Slider2->setValue(500);
         },
         1500, &Form2Controls::Label46},
        {"I",
         [](Form2 &f) {
             ctl(f).Icontrol->setValue(true);
             ctl(f).Slider3->setValue(1000);
         },
         1100, &Form2Controls::Label50},
        {"PI",
         [](Form2 &f) {
             ctl(f).PIcontrol->setValue(true);
             ctl(f).Slider4->setValue(500);
             ctl(f).Slider5->setValue(1000);
         },
         1100, &Form2Controls::Label54},
        // derivative only: Int(0.05 x -5000.000...) = -251
        {"PD",
         [](Form2 &f) {
             ctl(f).PDcontrol->setValue(true);
             ctl(f).Slider12->setValue(100);
             ctl(f).Slider13->setValue(50);
         },
         749, &Form2Controls::Label13},
        {"PID",
         [](Form2 &f) {
             ctl(f).PIDcontrol->setValue(true);
             ctl(f).Slider6->setValue(100);
             ctl(f).Slider7->setValue(50);
             ctl(f).Slider8->setValue(100);
         },
         759, &Form2Controls::Label5},
    };
    for (const Case &c : cases) {
        makeForm(&port);
        selectSimulation();
        c.select(*form);
        ctl(*form).Slider1->setValue(1000);
        ctl(*form).Timer3->setInterval(0); // the plant at rest, as after a run on the kit
        long long output = -1;
        int actuator = -1;
        QString readout;
        run(2, [&](int i) {
            if (i == 2) {
                output = form->state().outputY;
                actuator = ctl(*form).Slider1->Value();
                readout = (ctl(*form).*(c.readout))->text();
            }
        });
        EXPECT_EQ(output, 0) << c.name;
        EXPECT_EQ(actuator, c.expected) << c.name;
        EXPECT_EQ(readout, QString("U= %1").arg(c.expected)) << c.name;
    }
}

TEST_F(ClosedLoop, AnActuatorValueOutsideTheRangeIsRejectedNotClamped)
{
    selectSimulation();
    ctl(*form).Pcontrol->setValue(true);
    ctl(*form).Slider2->setValue(1200);
    ctl(*form).Slider1->setValue(4090);
    ctl(*form).Timer3->setInterval(0);
    const auto s = runRecorded(1);
    EXPECT_EQ(s[0].actuator, 4090);
    EXPECT_EQ(ctl(*form).Label46->text(), "U= 4090");
}

TEST_F(ClosedLoop, OpenLoopNeverWritesTheActuator)
{
    ctl(*form).Slider1->setValue(2000);
    form->state().pulseCount = 100;
    form->state().reference = 1000;
    form->Timer1_Timer();
    EXPECT_EQ(ctl(*form).Slider1->Value(), 2000);
    EXPECT_EQ(form->state().prevError.value(), 500);
}

TEST_F(ClosedLoop, GainSlidersSetTheSharedGainsAndLabels)
{
    ctl(*form).Slider2->setValue(350);
    EXPECT_EQ(form->state().kp, 0.35f);
    EXPECT_EQ(ctl(*form).Label40->text(), "Kp= 0.35");
    ctl(*form).Slider13->setValue(100);
    EXPECT_EQ(ctl(*form).Label10->text(), "Kd= 0.1");
    ctl(*form).Slider8->setValue(500);
    EXPECT_EQ(ctl(*form).Label3->text(), "Ki= 0.5");
    EXPECT_EQ(form->state().ki, 0.5f);
}

TEST_F(ClosedLoop, ReferenceSliderScalesTheGraph)
{
    ctl(*form).Myslider1->setValue(2000);
    EXPECT_EQ(ctl(*form).Mygraph1->Ymax(), 3600);
    EXPECT_EQ(ctl(*form).Mygraph1->GraphCaption(1), "RT=2000");
    EXPECT_EQ(ctl(*form).Text6->text(), "2000");
    EXPECT_EQ(form->state().reference.value(), 2000);
    EXPECT_EQ(ctl(*form).Mygraph1->RefValue, 2000.0);
}

TEST_F(ClosedLoop, AGainTheNewPanelCannotShowIsKept)
{
    selectSimulation();
    ctl(*form).Pcontrol->setValue(true);
    ctl(*form).Slider2->setValue(1200);
    ctl(*form).Slider6->setValue(150);
    form->state().kp = 1.2f;
    ctl(*form).PIDcontrol->setValue(true); // 1200 does not fit on 0..200
    EXPECT_EQ(ctl(*form).Slider6->Value(), 150);
    EXPECT_EQ(form->state().kp, 1.2f);
    EXPECT_EQ(form->frontPanel(), ctl(*form).PIDDenetim);
}

TEST_F(ClosedLoop, SelectingAControllerDuringARunStopsIt)
{
    selectSimulation();
    ctl(*form).Pcontrol->setValue(true);
    pump.script.push_back([this] { ctl(*form).Icontrol->setValue(true); });
    pump.whenEmpty = [this] { form->state().stopRequested = true; };
    form->Label32_Click();
    EXPECT_EQ(form->runDepth(), 0);
    EXPECT_FALSE(ctl(*form).Timer1->Enabled());
    EXPECT_GE(pump.waits, 1); // simulation: the loop waits instead of polling
    EXPECT_EQ(port.reads(), 0u);
}

TEST_F(ClosedLoop, ChoosingSimulationPutsOutTheZeroWordAndShowsTheLoad)
{
    ctl(*form).Slider1->setValue(3000);
    port.clearWrites();
    selectSimulation();
    ASSERT_GE(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[0].port, 888);
    EXPECT_EQ(port.writes()[0].value, 0);
    EXPECT_EQ(port.writes()[1].port, 890);
    EXPECT_EQ(port.writes()[1].value, 11);
    EXPECT_FALSE(ctl(*form).Slider11->isHidden());
    EXPECT_TRUE(ctl(*form).Pcontrol->isEnabled());
    ctl(*form).Acik->setValue(true);
    EXPECT_TRUE(ctl(*form).Slider11->isHidden());
    EXPECT_FALSE(ctl(*form).Pcontrol->isEnabled());
}

TEST_F(ClosedLoop, LoadSliderMovesTheDriveAgainstTheLoad)
{
    selectSimulation();
    ctl(*form).Slider1->setValue(2000);
    auto load = [this](int from, int to) {
        ctl(*form).Slider11->setValue(from);
        form->Slider11_MouseDown();
        ctl(*form).Slider11->setValue(to);
        form->Slider11_MouseUp();
    };
    load(1, 11);
    EXPECT_EQ(ctl(*form).Slider1->Value(), 1800);
    load(11, 1);
    EXPECT_EQ(ctl(*form).Slider1->Value(), 1980);
    load(5, 5);
    EXPECT_EQ(ctl(*form).Slider1->Value(), 1980);
    // with the fuzzy controller the held output moves instead
    ctl(*form).Bulanik->setValue(true);
    form->state().fuzzyOutput = 1000;
    ctl(*form).Slider1->setValue(500);
    load(1, 11);
    EXPECT_EQ(form->state().fuzzyOutput.value(), 900);
    EXPECT_EQ(ctl(*form).Slider1->Value(), 500);
}

TEST_F(ClosedLoop, ResetRestoresTheDefaultTableAndZeroesTheGains)
{
    ctl(*form).Kapalii->setValue(true);
    ctl(*form).Slider2->setValue(700);
    ctl(*form).Slider8->setValue(300);
    ctl(*form).Combo1(24)->setText("PB");
    form->Label34_Click();
    EXPECT_EQ(ctl(*form).Combo1(24)->Text(), "ZE");
    EXPECT_EQ(form->state().kp, 0.0f);
    EXPECT_EQ(form->state().ki, 0.0f);
    EXPECT_EQ(ctl(*form).Slider2->Value(), 0);
    for (int i = 0; i < 49; ++i)
        EXPECT_EQ(ctl(*form).Combo1(i)->BackColor(), QColor(Qt::white)) << i;
    ctl(*form).Bulanik->setValue(true);
    form->Label34_Click();
    for (int i = 0; i < 49; ++i) {
        EXPECT_EQ(ctl(*form).Combo1(i)->BackColor(), QColor(255, 0, 0)) << i;
        EXPECT_EQ(ctl(*form).Combo1(i)->ForeColor(), QColor(Qt::black)) << i;
    }
}

TEST_F(ClosedLoop, FuzzyCycleHighlightsTheFiredRulesAndShowsTheStep)
{
    selectSimulation();
    ctl(*form).Bulanik->setValue(true);
    run(2, [this](int i) {
        if (i == 2) {
            // e = 1000 = R, de = 1000 >= R' = 500: only cell 48 (PB, PB) fires
            EXPECT_EQ(ctl(*form).Label21->text(), " U= 100");
            EXPECT_EQ(ctl(*form).Label23->text(), " dU= 100");
            EXPECT_EQ(ctl(*form).Combo1(48)->BackColor(), QColor(0, 0, 255));
            EXPECT_EQ(ctl(*form).Combo1(48)->ForeColor(), QColor(Qt::white));
            EXPECT_EQ(ctl(*form).Combo1(24)->BackColor(), QColor(Qt::white));
            EXPECT_EQ(ctl(*form).Slider1->Value(), 100);
            EXPECT_EQ(form->state().fuzzyOutput.value(), 100);
        }
    });
}

TEST_F(ClosedLoop, FuzzyOutputAtALimitIsHeldAndTheStudentsWorkIsKept)
{
    selectSimulation();
    ctl(*form).Bulanik->setValue(true);
    ctl(*form).Slider2->setValue(500);    // a gain the student set earlier
    ctl(*form).Combo1(48)->setText("NB"); // an edited rule: drive down on (PB, PB)
    ctl(*form).Combo1(3)->setText("PM");
    bool saturated = false;
    run(2, [&](int i) {
        if (i == 2) {
            saturated = form->state().lastCycleSaturated;
            EXPECT_EQ(ctl(*form).Label23->text(), " dU= -100");
            EXPECT_EQ(ctl(*form).Slider1->Value(), 0); // held at the minimum
            EXPECT_EQ(form->state().fuzzyOutput.value(), 0);
            EXPECT_EQ(ctl(*form).Combo1(10)->BackColor(), QColor(255, 0, 0)); // saturation shows red
        }
    });
    EXPECT_TRUE(saturated);
    EXPECT_EQ(ctl(*form).Combo1(48)->Text(), "NB");
    EXPECT_EQ(ctl(*form).Combo1(3)->Text(), "PM");
    EXPECT_EQ(ctl(*form).Slider2->Value(), 500);
    EXPECT_EQ(form->state().kp, 0.5f);
}

TEST_F(ClosedLoop, LanguageSwitchTranslatesEditedRulesInsteadOfResettingThem)
{
    ctl(*form).Combo1(5)->setText("PB");  // default NM
    ctl(*form).Combo1(24)->setText("NS"); // default ZE
    ctl(*form).Combo1(30)->setText("XX"); // not a term of either language
    ctl(*form).Dil(1)->setValue(true);
    EXPECT_EQ(form->state().termNS, "NK");
    EXPECT_EQ(ctl(*form).Combo1(5)->Text(), "PB");
    EXPECT_EQ(ctl(*form).Combo1(24)->Text(), "NK");
    EXPECT_EQ(ctl(*form).Combo1(0)->Text(), "NB");
    EXPECT_EQ(ctl(*form).Combo1(12)->Text(), "NK"); // default NS in Turkish
    EXPECT_EQ(ctl(*form).Combo1(30)->Text(), "XX");
    EXPECT_EQ(ctl(*form).Combo1(9)->itemText(1), "NO");
    ctl(*form).Dil(0)->setValue(true);
    EXPECT_EQ(ctl(*form).Combo1(24)->Text(), "NS");
    EXPECT_EQ(ctl(*form).Combo1(39)->Text(), "PM");
    EXPECT_EQ(ctl(*form).Combo1(30)->Text(), "XX");
    EXPECT_EQ(ctl(*form).Combo1(9)->itemText(1), "NM");
}

TEST_F(ClosedLoop, AFailingAutoSaveIsToldOnceAndTheGraphGoesOn)
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath("file");
    QFile(notAFolder).open(QIODevice::WriteOnly); // a regular file: nothing can be saved under it
    ctl(*form).Mygraph1->setSaveFolder(notAFolder);
    selectSimulation();
    ctl(*form).Pcontrol->setValue(true);
    ctl(*form).Check1->setChecked(true);
    form->Check1_Click();
    ASSERT_TRUE(ctl(*form).Mygraph1->AutoSaveGraph());
    std::int32_t sweeps = 0;
    run(103, [&](int i) {
        if (i == 103)
            sweeps = ctl(*form).Mygraph1->sweepsStarted();
    });
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].contains(notAFolder)) << notices[0].toStdString();
    EXPECT_FALSE(ctl(*form).Check1->isChecked());
    EXPECT_FALSE(ctl(*form).Mygraph1->AutoSaveGraph());
    EXPECT_EQ(sweeps, 2); // the second sweep started on the failing cycle itself
}

TEST_F(ClosedLoop, TheAutoSaveNoticeNamesThePathAndTheSystemsReason)
{
    // The picture's name leads to a device that is always full.
    QTemporaryDir dir;
    ctl(*form).Mygraph1->setClock([] { return QDateTime(QDate(2026, 3, 9), QTime(14, 5, 7), Qt::UTC); });
    ctl(*form).Mygraph1->setSaveFolder(dir.path());
    const QString path = dir.filePath(QStringLiteral("3_9_2026_14_5_7.jpeg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path));
    selectSimulation();
    ctl(*form).Pcontrol->setValue(true);
    ctl(*form).Check1->setChecked(true);
    form->Check1_Click();
    run(103);
    ASSERT_EQ(notices.size(), 1u);
    const QString reason = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(ENOSPC));
    EXPECT_TRUE(notices[0].contains(reason)) << notices[0].toStdString();
}
