// Experiment files applied to the window through the student's handlers, and
// timed test programs run in the window: a reference step and a load change
// at their cycles, the sweep going on across the step.

#include "ui/main/Form2Fixture.h"

#include "engine/Terms.h"
#include "session/ExperimentSession.h"
#include "session/TestProgramRunner.h"

using namespace tervalo;

namespace {

struct Watch : CycleObserver {
    std::vector<int> references;
    std::vector<int> actuator;
    void cycleDone(const ExperimentState &, const CycleSample &s) override
    {
        references.push_back(s.reference);
        actuator.push_back(s.u);
    }
};

Experiment fuzzyExperiment()
{
    Experiment e;
    e.mode = RunMode::Simulation;
    e.controller = "fuzzy";
    e.kp = 0.15;
    e.ki = 0.4;
    e.kd = 0.07;
    e.errorDivisor = 4;
    e.outputDivisor = 13;
    e.reference = 1400;
    for (std::size_t k = 0; k < 49; ++k)
        e.rules[k] = static_cast<int>((k + 2) % 7);
    e.program.add({3, TestEvent::Kind::Reference, 900});
    return e;
}

} // namespace

TEST_F(Form2Fixture, AnExperimentIsAppliedThroughTheHandlers)
{
    TestProgramRunner &runner = form->lab().testProgram();
    QString why;
    ASSERT_TRUE(applyExperiment(form->lab(), fuzzyExperiment(), &runner, why)) << why.toStdString();
    EXPECT_TRUE(ctl(*form).simulasyon->isChecked());
    EXPECT_TRUE(ctl(*form).Bulanik->isChecked());
    EXPECT_EQ(ctl(*form).Slider9->Value(), 4);
    EXPECT_EQ(ctl(*form).Slider10->Value(), 13);
    EXPECT_EQ(ctl(*form).Myslider1->Value(), 1400);
    EXPECT_EQ(form->state().reference.value(), 1400);
    const auto &names = Terms::names(Terms::English);
    for (int cell = 0; cell < 49; ++cell)
        EXPECT_EQ(ctl(*form).Combo1(cell)->Text().toStdString(), names[static_cast<std::size_t>((cell + 2) % 7)]);
    EXPECT_FLOAT_EQ(form->state().kp, 0.15f);
    EXPECT_FLOAT_EQ(form->state().ki, 0.4f);
    EXPECT_FLOAT_EQ(form->state().kd, 0.07f);
    EXPECT_TRUE(runner.program() == fuzzyExperiment().program);

    // a classic controller's own bars show the file's gains
    Experiment pid = fuzzyExperiment();
    pid.controller = "PID";
    pid.kp = 0.2;
    pid.ki = 0.5;
    pid.kd = 0.1;
    ASSERT_TRUE(applyExperiment(form->lab(), pid, nullptr, why));
    EXPECT_TRUE(ctl(*form).PIDcontrol->isChecked());
    EXPECT_EQ(form->gainBarMax("Slider6"), 200);
    EXPECT_EQ(ctl(*form).Slider6->Value(), 200);
    EXPECT_EQ(ctl(*form).Slider8->Value(), 500);
    EXPECT_EQ(ctl(*form).Slider7->Value(), 100);
}

TEST_F(Form2Fixture, NoExperimentIsAppliedDuringARun)
{
    selectSimulation();
    QString why;
    bool applied = true;
    run(3, [&](int cycle) {
        if (cycle == 2)
            applied = applyExperiment(form->lab(), fuzzyExperiment(), nullptr, why);
    });
    EXPECT_FALSE(applied);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(ctl(*form).Bulanik->isChecked());
}

TEST_F(Form2Fixture, ATestProgramStepsTheReferenceAndTheLoadAtTheirCycles)
{
    selectSimulation();
    form->selectController("P");
    form->setGainBar("Slider2", 500);
    form->setReference(1000);
    TestProgramRunner &runner = form->lab().testProgram();
    TestProgram program;
    program.add({5, TestEvent::Kind::Reference, 1500});
    program.add({8, TestEvent::Kind::Load, 20});
    runner.setProgram(program);
    Watch watch;
    form->cycle().addObserver(&watch);

    std::vector<int> loadBefore;
    std::vector<double> sweep;
    std::vector<int> sweeps;
    double lineBeforeLast = 0; // STOP puts the reference line back
    run(10, [&](int) {
        lineBeforeLast = ctl(*form).Mygraph1->RefValue;
        loadBefore.push_back(form->loadValue());
        sweep.push_back(ctl(*form).Mygraph1->sweepPosition());
        sweeps.push_back(ctl(*form).Mygraph1->sweepsStarted());
    });
    form->cycle().removeObserver(&watch);

    ASSERT_EQ(watch.references.size(), 10u);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(watch.references[static_cast<std::size_t>(k)], k + 1 < 5 ? 1000 : 1500) << "cycle " << k + 1;
    EXPECT_EQ(lineBeforeLast, 1500);
    // the load slider moves just before cycle 8
    EXPECT_NE(loadBefore[6], 20);
    EXPECT_EQ(loadBefore[7], 20);
    // a load change moves the drive by the change in percent
    const int d = 20 - loadBefore[6];
    const int before = watch.actuator[6];
    EXPECT_NE(watch.actuator[7], before) << d;
    // the sweep went on across the step: no new sweep, the pen kept moving
    EXPECT_EQ(sweeps[1], sweeps.back()); // the first sweep starts with the first sample
    for (std::size_t k = 1; k < sweep.size(); ++k)
        EXPECT_GT(sweep[k], sweep[k - 1]) << k;
    // the reference line steps at the last sample before cycle 5 (column 40):
    // 1000 (row 87) to its left, 1500 (row 33) from there on, one step between
    const QImage picture = form->graphPicture();
    const QRgb refLine = qRgb(255, 0, 0);
    auto refPixels = [&](int row, int from, int to) {
        int n = 0;
        for (int x = from; x < to; ++x)
            n += picture.pixel(x, row) == refLine;
        return n;
    };
    EXPECT_GT(refPixels(87, 30, 40), 0);
    EXPECT_EQ(refPixels(87, 41, 330), 0);
    EXPECT_EQ(refPixels(33, 30, 40), 0);
    EXPECT_EQ(refPixels(33, 70, 330), 260);
    for (int row = 34; row < 87; ++row)
        EXPECT_EQ(picture.pixel(40, row), refLine) << row;

    // a program's first cycle is applied at START
    TestProgram first;
    first.add({1, TestEvent::Kind::Reference, 700});
    runner.setProgram(first);
    form->cycle().addObserver(&watch);
    watch.references.clear();
    run(2);
    form->cycle().removeObserver(&watch);
    ASSERT_EQ(watch.references.size(), 2u);
    EXPECT_EQ(watch.references[0], 700);
}

// On the kit the load slider is not the kit's load: a program's load change
// never moves the drive; an emulated kit takes it as its load torque, a real
// one is left to the student, who is told what to set.
TEST_F(Form2Fixture, ATestProgramsLoadChangeOnTheKitLeavesTheDriveAlone)
{
    form->selectMode(RunMode::Kit);
    form->selectController("P");
    TestProgramRunner &runner = form->lab().testProgram();
    TestProgram program;
    program.add({3, TestEvent::Kind::Load, 12});
    runner.setProgram(program);
    Watch watch;
    form->cycle().addObserver(&watch);

    std::vector<int> levels;
    runner.kitLoad = [&](int level) { levels.push_back(level); };
    run(4);
    EXPECT_EQ(levels, std::vector<int>{12});
    EXPECT_EQ(form->loadValue(), 1); // the simulated load slider did not move

    runner.kitLoad = nullptr;
    notices.clear();
    run(4);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].contains(QStringLiteral("12"))) << notices[0].toStdString();
    form->cycle().removeObserver(&watch);
}

// STOP after a run whose test program stepped the reference puts the
// reference the run started from back (the slider's box, the graph's
// reference line), so that the next START repeats the experiment, step and
// all; without a step STOP leaves the reference as the student set it.
TEST_F(Form2Fixture, STOPPutsBackTheReferenceATestProgramStepped)
{
    selectSimulation();
    form->selectController("P");
    form->setGainBar("Slider2", 500);
    form->setReference(1000);
    TestProgram program;
    program.add({3, TestEvent::Kind::Reference, 1500});
    form->lab().testProgram().setProgram(program);
    auto shown = [&] {
        return std::vector<double>{static_cast<double>(ctl(*form).Myslider1->Value()),
                                   ctl(*form).Text6->text().toDouble(), ctl(*form).Mygraph1->RefValue};
    };
    const std::vector<double> start = {1000, 1000, 1000};

    Watch watch;
    form->cycle().addObserver(&watch);
    for (int pass = 1; pass <= 2; ++pass) {
        SCOPED_TRACE(pass);
        watch.references.clear();
        std::vector<double> lineBefore;
        run(4, [&](int) { lineBefore.push_back(ctl(*form).Mygraph1->RefValue); });
        // the step happened, the line moved with it, and STOP put it back
        EXPECT_EQ(watch.references, (std::vector<int>{1000, 1000, 1500, 1500}));
        EXPECT_EQ(lineBefore, (std::vector<double>{1000, 1000, 1500, 1500}));
        EXPECT_EQ(shown(), start);
        EXPECT_EQ(form->settings().reference, 1000);
        form->Label34_Click(); // RESET leaves it so
        EXPECT_EQ(shown(), start);
    }

    // no program: STOP leaves the reference (and the state's, zero) alone
    form->lab().testProgram().setProgram(TestProgram());
    form->setReference(1200);
    run(3);
    form->cycle().removeObserver(&watch);
    EXPECT_EQ(shown(), (std::vector<double>{1200, 1200, 1200}));
    EXPECT_EQ(form->state().reference, 0);
}
