// The control-surface and tuning windows on a main window driven by a
// scripted pump: no real timers, no display.

#include "ui/main/Form2Fixture.h"

#include "engine/ClassicPanels.h"
#include "engine/FuzzyController.h"
#include "store/RunLibrary.h"
#include "ui/windows/SurfaceWindow.h"
#include "ui/windows/TuningWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <map>

using namespace tervalo;

namespace {

// The controller's own dU at (e, de) for the form's current settings.
int controllerStep(Form2 &form, int e, int de)
{
    const int r = form.settings().reference;
    const Integer range = r;
    const Integer delta = r / form.settings().errorDivisor; // Int of a positive quotient
    const Integer output = r / form.settings().outputDivisor;
    return FuzzyController::step(e, de, range, delta, output, form.settings().rules, form.state().termNames(), 0)
        .outputDelta.value();
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

class SurfaceWindowTest : public Form2Fixture {
protected:
    SurfaceWindow *window = nullptr;
    void SetUp() override
    {
        Form2Fixture::SetUp();
        window = SurfaceWindow::attach(form->lab(), form->menuHost());
        window->setGridPoints(41); // the full 201 only where the file needs it
        window->show();
        settle();
    }

    void expectMatchesController()
    {
        ASSERT_TRUE(window->surface().has_value()) << window->problem().toStdString();
        const FuzzySurface &s = *window->surface();
        const int n = s.points() - 1, mid = n / 2;
        const int cases[][2] = {{0, 0}, {mid, mid}, {7, n - 9}, {n, 3}, {mid + 3, mid - 2}, {13, n}};
        for (const auto &c : cases)
            EXPECT_EQ(s.du(c[0], c[1]), controllerStep(*form, s.errorAt(c[0]), s.deltaAt(c[1])))
                << "at e=" << s.errorAt(c[0]) << " de=" << s.deltaAt(c[1]);
    }
};

} // namespace

TEST_F(SurfaceWindowTest, OfferedOnTheRuleTableMenuAndEqualToTheController)
{
    ASSERT_EQ(form->ruleTableMenu()->actions().size(), 1);
    EXPECT_EQ(form->ruleTableMenu()->actions()[0]->text(), QStringLiteral("Control surface…"));
    expectMatchesController();
    EXPECT_EQ(window->surface()->errors().front(), -1000);
    EXPECT_EQ(window->surface()->deltas().back(), 500);
}

// A right click on a rule cell, or on its text, opens the rule table's
// menu and not the text editor's.
TEST_F(SurfaceWindowTest, ARightClickOnARuleCellOpensTheRuleTablesMenu)
{
    RuleCell *cell = ctl(*form).Combo1Array[24];
    for (QWidget *w : {static_cast<QWidget *>(cell), static_cast<QWidget *>(cell->lineEdit())}) {
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->contextMenuPolicy(), Qt::CustomContextMenu);
        emit w->customContextMenuRequested(QPoint(2, 2));
        EXPECT_TRUE(form->ruleTableMenu()->isVisible());
        form->ruleTableMenu()->hide();
    }
}

TEST_F(SurfaceWindowTest, FollowsRuleEditsDivisorsAndReference)
{
    const int centre = FuzzyController::cellIndex(3, 3); // e ZE, de ZE
    const int mid = window->surface()->points() / 2;
    const int before = window->surface()->du(mid, mid);
    form->setRuleTerm(centre, 6); // PB
    settle();
    EXPECT_NE(window->surface()->du(mid, mid), before);
    EXPECT_EQ(window->surface()->du(mid, mid), 100); // the PB centre, 1000 / 10
    expectMatchesController();

    form->setDivisors(4, 5);
    settle();
    EXPECT_EQ(window->surface()->ranges().delta.value(), 250);
    EXPECT_EQ(window->surface()->ranges().output.value(), 200);
    expectMatchesController();

    form->setReference(1500);
    settle();
    EXPECT_EQ(window->surface()->errors().back(), 1500);
    expectMatchesController();
}

TEST_F(SurfaceWindowTest, MarksTheLastCycle)
{
    selectSimulation();
    form->selectController("fuzzy");
    EXPECT_FALSE(window->lastPoint().has_value());
    run(3);
    ASSERT_TRUE(window->lastPoint().has_value());
    EXPECT_EQ(window->lastPoint()->first, form->state().currentError.value());
    EXPECT_EQ(window->lastPoint()->second, form->state().errorDelta.value());
}

TEST_F(SurfaceWindowTest, SavesPictureAndGridAndNamesAFailure)
{
    window->setGridPoints(201);
    window->recompute();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath(QStringLiteral("surface.png"));
    const QString csv = dir.filePath(QStringLiteral("surface.csv"));
    EXPECT_EQ(window->savePng(png), QString());
    EXPECT_EQ(window->saveCsv(csv), QString());

    QImage picture(png);
    EXPECT_FALSE(picture.isNull());
    EXPECT_GE(picture.width(), 560);

    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines.front(), QByteArray("e,de,du"));
    EXPECT_EQ(lines.size(), 201 * 201 + 2); // header, points, the empty rest after the last "\n"
    EXPECT_EQ(lines[1], QByteArray("-1000,-500,") + QByteArray::number(window->surface()->du(0, 0)));

    const QString missing = dir.filePath(QStringLiteral("no/such/folder/surface.csv"));
    for (const QString &failure : {window->saveCsv(missing), window->savePng(missing)}) {
        EXPECT_TRUE(failure.startsWith(missing + QStringLiteral(": "))) << failure.toStdString();
        EXPECT_GT(failure.size(), missing.size() + 2);
    }
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(SurfaceWindowTest, FollowsTheLanguage)
{
    ctl(*form).Dil(1)->setValue(true);
    settle();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Bulanık kontrol yüzeyi"));
    EXPECT_EQ(form->ruleTableMenu()->actions()[0]->text(), QStringLiteral("Kontrol yüzeyi…"));
    expectMatchesController(); // the rules now read in Turkish term names
    ctl(*form).Dil(0)->setValue(true);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Fuzzy control surface"));
}

namespace {

class TuningWindowTest : public Form2Fixture {
protected:
    TuningWindow *window = nullptr;
    std::deque<std::function<void()>> deferred;
    int cycles = 0;

    void SetUp() override
    {
        Form2Fixture::SetUp();
        selectSimulation();
        window = TuningWindow::attach(form->lab(), form->menuHost());
        window->defer = [this](std::function<void()> f) { deferred.push_back(std::move(f)); };
        // Inside a run each pump runs a deferred call if there is one, else
        // a control cycle; a run that never ends is stopped.
        pump.script.clear();
        pump.whenEmpty = [this] {
            if (!deferred.empty()) {
                auto f = std::move(deferred.front());
                deferred.pop_front();
                f();
            } else if (++cycles < 3000) {
                form->Timer1_Timer();
            } else {
                form->state().stopRequested = true;
            }
        };
    }

    void drain()
    {
        while (!deferred.empty()) {
            auto f = std::move(deferred.front());
            deferred.pop_front();
            f();
        }
    }

    void identify(int u1, int u2)
    {
        window->setSteps(u1, u2);
        window->startBumpTest();
        drain();
        EXPECT_FALSE(window->busy());
        EXPECT_FALSE(form->runActive());
    }
};

} // namespace

TEST_F(TuningWindowTest, IdentifiesTheSimulatedPlant)
{
    ASSERT_FALSE(form->graphMenu()->actions().isEmpty()); // the tuning entry comes last
    EXPECT_EQ(form->graphMenu()->actions().back()->text(), QStringLiteral("Tune…"));
    window->proposeSteps();
    identify(713, 871);
    ASSERT_TRUE(window->identification().has_value());
    const Identification &r = *window->identification();
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_NEAR(r.model.gain, 1.26302, 0.01);
    EXPECT_NEAR(r.model.deadTime, 0.2, 0.02);
    EXPECT_LT(r.model.timeConstant, 0.05);
    EXPECT_FALSE(r.measured.empty());
    EXPECT_EQ(r.measured.size(), r.fitted.size());
    // the model and its plots say which bump test they are of, so that a
    // window opened again after the operating point moved is not misread
    EXPECT_TRUE(window->modelText().contains(QString::fromUtf8("713 → 871, "))) << window->modelText().toStdString();
    EXPECT_TRUE(window->modelText().contains(QStringLiteral("gain K (Volt per actuator unit)")))
        << "the simulated plant is in volts, as in the main window";
    EXPECT_FALSE(window->modelText().contains(QStringLiteral("rpm")));
    EXPECT_EQ(form->settings().mode, RunMode::Simulation);
    EXPECT_EQ(form->actuatorValue(), 0); // STOP put the actuator back to its minimum
}

// A bump test is stored as what it is: its kind, its steps and the model
// fitted on it, without step figures; one stopped early has no model.
TEST_F(TuningWindowTest, StoresTheBumpTestWithItsModel)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    form->lab().openLibrary(path);
    identify(713, 871);
    ASSERT_TRUE(window->identification() && window->identification()->ok());
    form->lab().waitForLibrary();
    RunLibrary library(path);
    const std::vector<StoredRun> runs = library.list();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].kind, RunKind::BumpTest);
    ASSERT_TRUE(runs[0].bump.has_value());
    EXPECT_EQ(runs[0].bump->u1, 713);
    EXPECT_EQ(runs[0].bump->u2, 871);
    EXPECT_NEAR(runs[0].bump->model.gain, window->identification()->model.gain, 1e-9);
    EXPECT_TRUE(std::isnan(runs[0].riseTime));
}

// Opened from the menu, the window proposes gains for the law the student
// has selected; with the fuzzy controller it keeps the law it shows.
TEST_F(TuningWindowTest, OpensAtTheSelectedLaw)
{
    QAction *tune = form->graphMenu()->actions().back();
    ASSERT_TRUE(form->selectController("PI"));
    tune->trigger();
    EXPECT_EQ(window->law(), ClassicLaw::PI);
    window->hide();
    ASSERT_TRUE(form->selectController("fuzzy"));
    tune->trigger();
    EXPECT_EQ(window->law(), ClassicLaw::PI);
    window->hide();
    ASSERT_TRUE(form->selectController("P"));
    tune->trigger();
    EXPECT_EQ(window->law(), ClassicLaw::P);
    window->hide();
}

TEST_F(TuningWindowTest, RefusesStepsItCannotUse)
{
    struct Case {
        int u1, u2;
        BumpStatus status;
        bool suggestsLarger;
    } cases[] = {
        {700, 700, BumpStatus::BadSettings, false},
        {700, 702, BumpStatus::StepTooSmall, true},
    };
    for (const Case &c : cases) {
        identify(c.u1, c.u2);
        ASSERT_TRUE(window->identification().has_value());
        EXPECT_EQ(window->identification()->status, c.status) << c.u1 << ":" << c.u2;
        EXPECT_EQ(window->identification()->suggestedU2 >= 0, c.suggestsLarger);
        EXPECT_FALSE(window->modelText().isEmpty());
        window->suggest();
        EXPECT_FALSE(window->suggestion().found);
        EXPECT_TRUE(window->statusText().startsWith(QStringLiteral("Identify the plant first")));
    }
}

// The window and tervalo-sim --suggest plan the bump test and the search
// alike, so for the same plant and set-up they find the same gains (a fresh
// window each: once it has a model it plans around the model's operating
// point).
class TuningAgreement : public TuningWindowTest, public ::testing::WithParamInterface<std::pair<const char *, int>> { };

TEST_P(TuningAgreement, TheWindowSuggestsTheGainsTheSimulatorSuggests)
{
    const char *name = GetParam().first;
    const int reference = GetParam().second;
    const ClassicLaw law = ClassicPanels::named(name)->law;
    form->setReference(reference);
    window->proposeSteps();
    window->startBumpTest();
    drain();
    ASSERT_TRUE(window->identification() && window->identification()->ok());
    window->setLaw(law);
    window->setOvershootLimit(10);
    window->suggest();
    const GainSuggestion &s = window->suggestion();
    ASSERT_TRUE(s.found) << s.reason;

    QProcess sim;
    sim.start(QStringLiteral(TERVALO_SIM),
              {"--suggest", name, "--reference", QString::number(reference), "--cycles", "100", "--overshoot", "10"});
    ASSERT_TRUE(sim.waitForFinished(60000));
    ASSERT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    std::map<QString, double> printed;
    for (const QByteArray &line : sim.readAllStandardOutput().split('\n'))
        if (const QList<QByteArray> f = line.split(','); f.size() == 2)
            printed[QString::fromLatin1(f[0])] = f[1].toDouble();
    const ClassicPanel &panel = ClassicPanels::of(law);
    for (std::size_t k = 0; k < panel.sliderCount; ++k) {
        const Gain g = panel.sliders[k].gain;
        const int bar = g == Gain::Kp ? s.gains.kp : g == Gain::Ki ? s.gains.ki : s.gains.kd;
        EXPECT_EQ(std::lround(printed.at(QLatin1String(ClassicPanels::name(g))) * 1000), bar) << ClassicPanels::name(g);
    }
}

INSTANTIATE_TEST_SUITE_P(Laws, TuningAgreement,
                         ::testing::Values(std::make_pair("PI", 1000), std::make_pair("P", 1500),
                                           std::make_pair("PID", 800)));

TEST_F(TuningWindowTest, SuggestsAppliesAndRunsGains)
{
    identify(713, 871);
    ASSERT_TRUE(window->identification() && window->identification()->ok());
    window->setLaw(ClassicLaw::PI);
    window->setOvershootLimit(10);
    window->suggest();
    const GainSuggestion &s = window->suggestion();
    ASSERT_TRUE(s.found) << s.reason;
    EXPECT_EQ(s.law, ClassicLaw::PI);
    EXPECT_LE(s.figures[Metric::Overshoot].value, 10.0);

    window->apply();
    const ClassicPanel &panel = ClassicPanels::of(ClassicLaw::PI);
    for (std::size_t k = 0; k < panel.sliderCount; ++k) {
        auto *bar = static_cast<ScrollBar *>(ctl(*form).named(panel.sliders[k].bar));
        const int expected = panel.sliders[k].gain == Gain::Kp ? s.gains.kp : s.gains.ki;
        EXPECT_EQ(bar->Value(), expected) << panel.sliders[k].bar;
        EXPECT_GE(bar->Value(), 0);
        EXPECT_LE(bar->Value(), form->gainBarMax(panel.sliders[k].bar));
    }

    window->runSuggestion();
    drain();
    ASSERT_EQ(window->measuredRun().size(), s.rows.size());
    double worst = 0;
    for (std::size_t k = 0; k < s.rows.size(); ++k)
        worst = std::max(worst, std::abs(window->measuredRun()[k] - s.rows[k].y));
    EXPECT_LT(worst, 20.0); // within 2 % of the reference over the whole run
    EXPECT_FALSE(form->runActive());
}

TEST_F(TuningWindowTest, FollowsTheLanguage)
{
    ctl(*form).Dil(1)->setValue(true);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Sistemi tanı ve kazançları ayarla"));
    EXPECT_EQ(form->graphMenu()->actions().back()->text(), QStringLiteral("Ayarla…"));
    identify(700, 700);
    EXPECT_TRUE(window->modelText().startsWith(QStringLiteral("U1 ve U2"))) << window->modelText().toStdString();
    ctl(*form).Dil(0)->setValue(true);
    EXPECT_TRUE(window->modelText().startsWith(QStringLiteral("U1 and U2")));
}

TEST_F(TuningWindowTest, OnTheKitRefusesAStepBelowTheKitsMinimumWithoutARun)
{
    form->selectMode(RunMode::Kit);
    identify(1000, 1500);
    ASSERT_TRUE(window->identification().has_value());
    EXPECT_EQ(window->identification()->status, BumpStatus::BadSettings);
    EXPECT_EQ(cycles, 0);
    EXPECT_EQ(form->settings().mode, RunMode::Kit);
}

TEST_F(TuningWindowTest, AStopBeforeTheAnswerLeavesNoModel)
{
    pump.whenEmpty = [this] {
        if (!deferred.empty()) {
            auto f = std::move(deferred.front());
            deferred.pop_front();
            f();
        } else if (++cycles < 5) {
            form->Timer1_Timer();
        } else {
            form->Label33_Click(); // the student's STOP
        }
    };
    identify(713, 871);
    EXPECT_FALSE(window->identification().has_value());
    EXPECT_EQ(window->statusText(), QStringLiteral("The bump test was stopped before it finished."));
    window->suggest();
    EXPECT_FALSE(window->suggestion().found);
}

// A suggested gain at 0 or at its bar's limit is explained, in both languages.
TEST(TuningWindowNotes, AGainAtZeroOrAtItsBarsLimitIsExplained)
{
    GainSuggestion s;
    s.found = true;
    s.law = ClassicLaw::PI;
    s.gains.kp = 0;
    s.gains.ki = 3000; // the PI panel's Ki bar ends at 3
    const QStringList en = TuningWindow::gainNotes(s, true);
    ASSERT_EQ(en.size(), 2);
    EXPECT_EQ(en[0],
              QStringLiteral("Kp is 0: for this plant a pure I law gives the least IAE within the overshoot limit."));
    EXPECT_TRUE(en[1].startsWith(QStringLiteral("Ki is at its bar's maximum (3)"))) << en[1].toStdString();
    EXPECT_EQ(TuningWindow::gainNotes(s, false).size(), 2);
    s.gains.kp = 500;
    s.gains.ki = 200;
    EXPECT_TRUE(TuningWindow::gainNotes(s, true).isEmpty());
    s.found = false;
    EXPECT_TRUE(TuningWindow::gainNotes(s, true).isEmpty());
}
