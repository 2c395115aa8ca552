#include "ui/windows/TuningWindow.h"

#include "engine/ClassicPanels.h"
#include "engine/SessionLimits.h"
#include "engine/SimulatedPlant.h"
#include "engine/TuningPlan.h"
#include "session/Lab.h"
#include "ui/texts/LabTexts.h"
#include "ui/texts/TuningTexts.h"
#include "ui/windows/RunWindow.h"
#include "ui/windows/SignalLook.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <exception>

namespace tervalo {

namespace {
constexpr int kActuatorMax = SessionLimits::kActuatorMax;
constexpr int kRunCycles = 100;

// A gain's name from its readout's prefix ("Kp= " -> "Kp").
QString gainName(Gain g)
{
    QString name = QString::fromUtf8(ClassicPanels::prefix(g)).trimmed();
    name.chop(1);
    return name;
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

int sliderValue(const SliderGains &g, Gain gain)
{
    return gain == Gain::Kp ? g.kp : gain == Gain::Ki ? g.ki : g.kd;
}
} // namespace

TuningWindow::Plot TuningWindow::makePlot(std::initializer_list<QColor> colours)
{
    Plot p;
    p.chart = new QChart;
    p.x = new QValueAxis;
    p.y = new QValueAxis;
    p.chart->addAxis(p.x, Qt::AlignBottom);
    p.chart->addAxis(p.y, Qt::AlignLeft);
    p.chart->legend()->setAlignment(Qt::AlignBottom);
    p.chart->setMargins(QMargins(2, 2, 2, 2));
    for (const QColor &colour : colours) {
        auto *s = new QLineSeries;
        s->setPen(QPen(colour, 1.5));
        p.chart->addSeries(s);
        s->attachAxis(p.x);
        s->attachAxis(p.y);
        p.series.push_back(s);
    }
    return p;
}

void TuningWindow::setPoints(Plot &plot, std::size_t series, const std::vector<double> &x, const std::vector<double> &y)
{
    QList<QPointF> points;
    const std::size_t n = std::min(x.size(), y.size());
    points.reserve(static_cast<qsizetype>(n));
    for (std::size_t i = 0; i < n; ++i)
        points.append(QPointF(x[i], y[i]));
    plot.series[series]->replace(points);
}

void TuningWindow::fitAxes(Plot &plot)
{
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    bool any = false;
    for (QLineSeries *s : plot.series)
        for (const QPointF &p : s->points()) {
            if (!any) {
                x0 = x1 = p.x();
                y0 = y1 = p.y();
                any = true;
            }
            x0 = std::min(x0, p.x());
            x1 = std::max(x1, p.x());
            y0 = std::min(y0, p.y());
            y1 = std::max(y1, p.y());
        }
    if (x1 <= x0)
        x1 = x0 + 1;
    const double pad = std::max((y1 - y0) * 0.05, 1.0);
    plot.x->setRange(x0, x1);
    plot.y->setRange(y0 - pad, y1 + pad);
    look::roundTicks(plot.x);
    look::roundTicks(plot.y);
}

TuningWindow *TuningWindow::attach(Lab &lab, const MenuHost &host)
{
    auto *w = new TuningWindow(lab, host.window);
    w->setMenuAction(host.graphMenu->addAction(QString()));
    QObject::connect(w->action_, &QAction::triggered, w, [w, &lab] {
        w->setLanguage(lab.english());
        if (!w->isVisible() && !w->busy()) {
            w->proposeSteps();
            if (const std::optional<ClassicLaw> law = lab.controls().selectedLaw())
                w->setLaw(*law);
        }
        w->show();
        w->raise();
        w->activateWindow();
    });
    return w;
}

TuningWindow::TuningWindow(Lab &lab, QWidget *parent) : QWidget(parent, Qt::Window), lab_(lab)
{
    defer = [this](std::function<void()> f) { QTimer::singleShot(0, this, std::move(f)); };

    plant_ = new QLabel(this);
    u1Label_ = new QLabel(this);
    u2Label_ = new QLabel(this);
    u1_ = new QSpinBox(this);
    u2_ = new QSpinBox(this);
    for (QSpinBox *b : {u1_, u2_})
        b->setRange(0, kActuatorMax);
    bandLabel_ = new QLabel(this);
    band_ = new QSpinBox(this);
    band_->setRange(0, 500);
    bump_ = new QPushButton(this);
    status_Label_ = new QLabel(this);
    status_Label_->setWordWrap(true);
    model_ = new QLabel(this);
    model_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    model_->setWordWrap(true);
    model_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    model_->setMinimumWidth(160);
    lawLabel_ = new QLabel(this);
    law_ = new QComboBox(this);
    for (const ClassicPanel &panel : ClassicPanels::all())
        law_->addItem(QString::fromUtf8(panel.name));
    law_->setCurrentIndex(law_->count() - 1);
    overshootLabel_ = new QLabel(this);
    overshoot_ = new QSpinBox(this);
    overshoot_->setRange(0, 100);
    overshoot_->setValue(10);
    suggest_ = new QPushButton(this);
    apply_ = new QPushButton(this);
    run_ = new QPushButton(this);
    table_ = new QTableWidget(0, 2, this);
    table_->verticalHeader()->hide();
    // the figure names whole on one line; a long value is cut short
    table_->setWordWrap(false);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    // measured speeds as the main graph's Y, the model's in a colour of its own
    fit_ = makePlot({look::output(), look::model()});
    residual_ = makePlot({look::error()});
    run_Plot_ = makePlot({look::model(), look::output()});
    auto view = [this](Plot &p) {
        auto *v = new QChartView(p.chart, this);
        v->setRenderHint(QPainter::Antialiasing);
        v->setMinimumSize(240, 160);
        return v;
    };

    auto *top = new QHBoxLayout;
    top->addWidget(plant_);
    top->addSpacing(12);
    top->addWidget(u1Label_);
    top->addWidget(u1_);
    top->addWidget(u2Label_);
    top->addWidget(u2_);
    top->addWidget(bandLabel_);
    top->addWidget(band_);
    top->addWidget(bump_);
    top->addStretch(1);

    // the bump test's plots and model over the suggestion's table and run,
    // each part and each side of it between lines the student can move
    auto *plots = new QSplitter(Qt::Horizontal);
    plots->addWidget(view(fit_));
    plots->addWidget(view(residual_));
    plots->addWidget(model_);
    plots->setSizes({400, 300, 260});

    auto *lawRow = new QHBoxLayout;
    lawRow->addWidget(lawLabel_);
    lawRow->addWidget(law_);
    lawRow->addWidget(overshootLabel_);
    lawRow->addWidget(overshoot_);
    lawRow->addWidget(suggest_);
    lawRow->addWidget(apply_);
    lawRow->addWidget(run_);
    lawRow->addStretch(1);

    auto *bottom = new QSplitter(Qt::Horizontal);
    bottom->addWidget(table_);
    bottom->addWidget(view(run_Plot_));
    bottom->setSizes({380, 580});

    auto *tuning = new QWidget;
    auto *tuningLayout = new QVBoxLayout(tuning);
    tuningLayout->setContentsMargins(0, 0, 0, 0);
    tuningLayout->addLayout(lawRow);
    tuningLayout->addWidget(bottom, 1);

    auto *parts = new QSplitter(Qt::Vertical);
    parts->addWidget(plots);
    parts->addWidget(tuning);
    parts->setSizes({300, 340});
    for (QSplitter *s : {plots, bottom, parts})
        s->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(status_Label_);
    layout->addWidget(parts, 1);
    resize(1000, 680); // on a 1024 x 768 screen with the title bar and panel

    QObject::connect(bump_, &QPushButton::clicked, this, [this] { startBumpTest(); });
    QObject::connect(suggest_, &QPushButton::clicked, this, [this] { suggest(); });
    QObject::connect(apply_, &QPushButton::clicked, this, [this] { apply(); });
    QObject::connect(run_, &QPushButton::clicked, this, [this] { runSuggestion(); });

    lab_.watchCycles(this);
    connect(&lab_, &Lab::languageChanged, this, [this](bool english) { setLanguage(english); });
    setLanguage(lab_.english());
    proposeSteps();
}

TuningWindow::~TuningWindow()
{
    lab_.unwatchCycles(this);
}

void TuningWindow::setMenuAction(QAction *action)
{
    action_ = action;
    if (action_)
        action_->setText(tuneText(TuneText::TuneMenu, english_));
}

bool TuningWindow::simulation() const
{
    return lab_.controls().settings().mode == RunMode::Simulation;
}

int TuningWindow::actuatorMin() const
{
    return SessionLimits::actuatorMin(!simulation());
}

TuningPlan TuningWindow::plan(bool kit) const
{
    TuningSetUp setUp;
    setUp.kit = kit;
    setUp.reference = lab_.controls().settings().reference;
    setUp.cycles = kRunCycles;
    setUp.overshootLimit = overshoot_->value();
    setUp.actuator = lab_.controls().actuatorValue();
    if (kit)
        setUp.steadySpeed = lab_.kitSpeed();
    if (identified_ && identified_->ok())
        setUp.model = identified_->model;
    return planTuning(setUp);
}

int TuningWindow::actuatorForReference() const
{
    return plan(!simulation()).operatingPoint;
}

void TuningWindow::proposeSteps()
{
    plant_->setText(tuneText(TuneText::Plant, english_)
                        .arg(tuneText(simulation() ? TuneText::PlantSimulation : TuneText::PlantKit, english_)));
    const TuningPlan p = plan(!simulation());
    setSteps(p.bump.u1, p.bump.u2);
}

void TuningWindow::setSteps(int u1, int u2)
{
    u1_->setValue(u1);
    u2_->setValue(u2);
}

void TuningWindow::setSteadyBand(int rpm)
{
    band_->setValue(rpm);
}

void TuningWindow::setLaw(ClassicLaw law)
{
    law_->setCurrentText(QString::fromUtf8(ClassicPanels::of(law).name));
}

ClassicLaw TuningWindow::law() const
{
    const ClassicPanel *panel = ClassicPanels::named(law_->currentText().toStdString());
    return panel ? panel->law : ClassicLaw::PID;
}

void TuningWindow::setOvershootLimit(int percent)
{
    overshoot_->setValue(percent);
}

void TuningWindow::setStatus(const QString &s)
{
    status_ = s;
    status_Label_->setText(s);
}

QString TuningWindow::statusText() const
{
    return status_;
}

void TuningWindow::startBumpTest()
{
    if (busy() || lab_.runActive()) {
        setStatus(tuneText(TuneText::Busy, english_));
        return;
    }
    const RunMode mode = lab_.controls().settings().mode;
    bumpSimulation_ = mode == RunMode::Simulation;
    BumpTestSettings settings = plan(!bumpSimulation_).bump;
    settings.u1 = u1_->value();
    settings.u2 = u2_->value();
    settings.steadyBand = band_->value();
    test_ = std::make_unique<BumpTest>(settings);
    bumpStarted_ = QDateTime::currentDateTime();
    suggestion_ = GainSuggestion{};
    if (test_->finished()) { // refused before it began
        identified_ = test_->result();
        showIdentification();
        return;
    }
    // On the kit only the open loop leaves the actuator to us; in simulation
    // each cycle's value is put back after the cycle.
    restoreMode_.reset();
    if (!bumpSimulation_ && mode != RunMode::OpenLoop) {
        restoreMode_ = mode;
        lab_.controls().selectMode(RunMode::OpenLoop);
    }
    try {
        lab_.controls().setActuator(test_->actuator());
    } catch (const std::exception &) {
    }
    phase_ = Phase::Bump;
    identified_.reset();
    // stored as a bump test, not as a run with step figures
    lab_.setRunBumpTest();
    showIdentification();
    setStatus(tuneText(TuneText::BumpRunning, english_).arg(0));
    defer([this] {
        lab_.controls().start(); // returns at STOP
        finishBump();
    });
}

void TuningWindow::cycleDone(const ExperimentState &, const CycleSample &sample)
{
    try {
        if (phase_ == Phase::Bump && test_ && !test_->finished()) {
            const int u = test_->cycle(static_cast<double>(sample.y));
            lab_.controls().setActuator(u);
            setStatus(tuneText(TuneText::BumpRunning, english_).arg(test_->cyclesRun()));
            if (test_->finished()) {
                // the run is stored with the model fitted on it
                const Identification &r = test_->result();
                std::optional<BumpTestResult> result;
                if (r.ok())
                    result = BumpTestResult{test_->settings().u1, test_->settings().u2, r.model, r.rmse};
                lab_.setRunBumpTest(result);
                defer([this] {
                    if (lab_.runActive())
                        lab_.controls().stop();
                });
            }
        } else if (phase_ == Phase::ClosedRun && static_cast<int>(runY_.size()) < kRunCycles) {
            runY_.push_back(static_cast<double>(sample.y));
            if (static_cast<int>(runY_.size()) == kRunCycles)
                defer([this] {
                    if (lab_.runActive())
                        lab_.controls().stop();
                });
        }
    } catch (const std::exception &) {
        // a value the actuator refuses: the test goes on with what it holds
    }
}

void TuningWindow::finishBump()
{
    phase_ = Phase::Idle;
    if (restoreMode_) {
        lab_.controls().selectMode(*restoreMode_);
        restoreMode_.reset();
    }
    if (test_ && !test_->finished()) { // STOP before the test had its answer
        identified_.reset();
        showIdentification();
        setStatus(tuneText(TuneText::BumpStopped, english_));
        return;
    }
    if (test_)
        identified_ = test_->result();
    showIdentification();
}

QString TuningWindow::modelText() const
{
    if (!identified_)
        return QString();
    const Identification &r = *identified_;
    if (!r.ok()) {
        TuneText why = TuneText::Unfittable;
        switch (r.status) {
        case BumpStatus::NeverSettled: why = TuneText::NeverSettled; break;
        case BumpStatus::StepTooSmall: why = TuneText::StepTooSmall; break;
        case BumpStatus::BadSettings: why = TuneText::BadSettings; break;
        default: break;
        }
        QString t = tuneText(why, english_);
        if (r.status == BumpStatus::Unfittable && !r.reason.empty())
            t += QStringLiteral(" (") + QString::fromStdString(r.reason) + QStringLiteral(")");
        if (r.suggestedU2 >= 0)
            t += QStringLiteral("\n") + tuneText(TuneText::TryLarger, english_).arg(r.suggestedU2);
        return t;
    }
    const PlantModel &m = r.model;
    const QString unit = LabTexts::outputUnit(bumpSimulation_, english_);
    const auto line = [&](TuneText t, double v) {
        QString name = tuneText(t, english_);
        if (name.contains(QLatin1String("%1")))
            name = name.arg(unit);
        return name + QStringLiteral(": ") + number(v);
    };
    return tuneText(TuneText::Model, english_) + QStringLiteral(" (")
        + tuneText(bumpSimulation_ ? TuneText::PlantSimulation : TuneText::PlantKit, english_) + QStringLiteral(", ")
        + bumpLabel() + QStringLiteral(")\n") + line(TuneText::Gain, m.gain) + QStringLiteral("\n")
        + line(TuneText::TimeConstant, m.timeConstant) + QStringLiteral("\n") + line(TuneText::DeadTime, m.deadTime)
        + QStringLiteral("\n") + line(TuneText::Offset, m.offset) + QStringLiteral("\n") + line(TuneText::Rmse, r.rmse);
}

QString TuningWindow::bumpLabel() const
{
    if (!test_)
        return QString();
    return QStringLiteral("%1 → %2, %3")
        .arg(test_->settings().u1)
        .arg(test_->settings().u2)
        .arg(bumpStarted_.toString(QStringLiteral("HH:mm")));
}

void TuningWindow::showIdentification()
{
    const std::vector<double> none;
    if (identified_ && identified_->ok()) {
        const Identification &r = *identified_;
        setPoints(fit_, 0, r.time, r.measured);
        setPoints(fit_, 1, r.time, r.fitted);
        setPoints(residual_, 0, r.time, r.residual);
        fit_.chart->setTitle(bumpLabel()); // which bump test the plots are of
        if (r.suggestedU2 < 0)
            setStatus(tuneText(TuneText::BumpDone, english_).arg(test_ ? test_->cyclesRun() : 0));
    } else {
        setPoints(fit_, 0, none, none);
        setPoints(fit_, 1, none, none);
        setPoints(residual_, 0, none, none);
        fit_.chart->setTitle(QString());
        if (identified_) {
            setStatus(modelText());
            if (identified_->suggestedU2 >= 0)
                u2_->setValue(identified_->suggestedU2);
        }
    }
    fitAxes(fit_);
    fitAxes(residual_);
    model_->setText(modelText());
    showSuggestion();
}

void TuningWindow::suggest()
{
    if (busy())
        return;
    if (!identified_ || !identified_->ok()) {
        setStatus(tuneText(TuneText::NoModel, english_));
        return;
    }
    const ClassicPanel *panel = ClassicPanels::named(law_->currentText().toStdString());
    if (!panel)
        return;
    // the loop of the plant the model was fitted on
    const SearchSettings settings = plan(!bumpSimulation_).search;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        suggestion_ = suggestGains(identified_->model, panel->law, settings);
    } catch (const std::exception &e) {
        suggestion_ = GainSuggestion{};
        suggestion_.law = panel->law;
        suggestion_.reason = e.what();
    }
    QApplication::restoreOverrideCursor();
    runY_.clear();
    if (!suggestion_.found)
        setStatus(tuneText(TuneText::NoSuggestion, english_).arg(QString::fromStdString(suggestion_.reason)));
    showSuggestion();
}

QStringList TuningWindow::gainNotes(const GainSuggestion &s, bool english)
{
    QStringList notes;
    if (!s.found)
        return notes;
    const ClassicPanel &panel = ClassicPanels::of(s.law);
    // the law the parts that are not 0 make ("I" for a PI with Kp 0)
    QString others;
    for (std::size_t k = 0; k < panel.sliderCount; ++k)
        if (sliderValue(s.gains, panel.sliders[k].gain) != 0)
            others += gainName(panel.sliders[k].gain).mid(1).toUpper();
    for (std::size_t k = 0; k < panel.sliderCount; ++k) {
        const GainSlider &slider = panel.sliders[k];
        const int v = sliderValue(s.gains, slider.gain);
        if (v == 0 && !others.isEmpty())
            notes << tuneText(TuneText::GainAtZero, english).arg(gainName(slider.gain), others);
        else if (v >= slider.max)
            notes
                << tuneText(TuneText::GainAtMax, english).arg(gainName(slider.gain), number(ClassicPanels::fromBar(v)));
    }
    return notes;
}

void TuningWindow::showSuggestion()
{
    table_->setRowCount(0);
    const bool have = suggestion_.found;
    apply_->setEnabled(have);
    run_->setEnabled(have);
    if (have) {
        const ClassicPanel &panel = ClassicPanels::of(suggestion_.law);
        for (std::size_t k = 0; k < panel.sliderCount; ++k) {
            const Gain g = panel.sliders[k].gain;
            const int row = table_->rowCount();
            table_->insertRow(row);
            table_->setItem(row, 0, new QTableWidgetItem(gainName(g)));
            table_->setItem(row, 1,
                            new QTableWidgetItem(number(ClassicPanels::fromBar(sliderValue(suggestion_.gains, g)))));
        }
        for (const MetricInfo &info : kMetrics) {
            const Figure &f = suggestion_.figures[info.metric];
            const int row = table_->rowCount();
            table_->insertRow(row);
            table_->setItem(row, 0, new QTableWidgetItem(RunWindow::metricText(info.metric, english_)));
            table_->setItem(row, 1,
                            new QTableWidgetItem(
                                f.available() ? LabTexts::figureValue(info.metric, f.value, bumpSimulation_, english_)
                                              : RunWindow::reasonText(f.reason, english_)));
        }
        if (const QStringList notes = gainNotes(suggestion_, english_); !notes.isEmpty())
            setStatus(notes.join(QLatin1Char('\n')));
    }
    showRun();
}

void TuningWindow::apply()
{
    if (!suggestion_.found || busy())
        return;
    const ClassicPanel &panel = ClassicPanels::of(suggestion_.law);
    lab_.controls().selectController(panel.name);
    for (std::size_t k = 0; k < panel.sliderCount; ++k)
        lab_.controls().setGainBar(panel.sliders[k].bar, sliderValue(suggestion_.gains, panel.sliders[k].gain));
    setStatus(tuneText(TuneText::Applied, english_).arg(QString::fromUtf8(panel.name)));
}

void TuningWindow::runSuggestion()
{
    if (!suggestion_.found || busy())
        return;
    if (lab_.runActive()) {
        setStatus(tuneText(TuneText::Busy, english_));
        return;
    }
    apply();
    lab_.controls().selectMode(bumpSimulation_ ? RunMode::Simulation : RunMode::Kit);
    runY_.clear();
    phase_ = Phase::ClosedRun;
    showRun();
    defer([this] {
        lab_.controls().start(); // returns at STOP
        finishRun();
    });
}

void TuningWindow::finishRun()
{
    phase_ = Phase::Idle;
    showRun();
}

void TuningWindow::showRun()
{
    std::vector<double> t, y, tm;
    for (const StepSample &row : suggestion_.rows) {
        t.push_back(row.time_s);
        y.push_back(row.y);
    }
    for (std::size_t k = 0; k < runY_.size(); ++k)
        tm.push_back(k < t.size() ? t[k] : static_cast<double>(k) / kCyclesPerSecond);
    setPoints(run_Plot_, 0, t, y);
    setPoints(run_Plot_, 1, tm, runY_);
    fitAxes(run_Plot_);
}

void TuningWindow::setLanguage(bool english)
{
    english_ = english;
    setWindowTitle(tuneText(TuneText::TuneTitle, english));
    if (action_)
        action_->setText(tuneText(TuneText::TuneMenu, english));
    plant_->setText(tuneText(TuneText::Plant, english)
                        .arg(tuneText(simulation() ? TuneText::PlantSimulation : TuneText::PlantKit, english)));
    u1Label_->setText(tuneText(TuneText::U1, english));
    u2Label_->setText(tuneText(TuneText::U2, english));
    const QString unit = LabTexts::outputUnit(simulation(), english);
    bandLabel_->setText(tuneText(TuneText::SteadyBand, english).arg(unit));
    for (QWidget *w : {static_cast<QWidget *>(bandLabel_), static_cast<QWidget *>(band_)})
        w->setToolTip(tuneText(TuneText::SteadyBandTip, english));
    bump_->setText(tuneText(TuneText::StartBump, english));
    lawLabel_->setText(tuneText(TuneText::Law, english));
    overshootLabel_->setText(tuneText(TuneText::OvershootLimit, english));
    suggest_->setText(tuneText(TuneText::Suggest, english));
    apply_->setText(tuneText(TuneText::Apply, english));
    run_->setText(tuneText(TuneText::Run, english));
    table_->setHorizontalHeaderLabels({tuneText(TuneText::Figure, english), tuneText(TuneText::Value, english)});

    fit_.series[0]->setName(tuneText(TuneText::Measured, english));
    fit_.series[1]->setName(tuneText(TuneText::Fitted, english));
    residual_.series[0]->setName(tuneText(TuneText::Residual, english));
    run_Plot_.series[0]->setName(tuneText(TuneText::Predicted, english));
    run_Plot_.series[1]->setName(tuneText(TuneText::RunMeasured, english));
    for (Plot *p : {&fit_, &residual_})
        p->x->setTitleText(tuneText(TuneText::TimeFromStep, english));
    run_Plot_.x->setTitleText(tuneText(TuneText::Time, english));
    fit_.y->setTitleText(tuneText(TuneText::Speed, english).arg(unit));
    residual_.y->setTitleText(tuneText(TuneText::ResidualAxis, english).arg(unit));
    run_Plot_.y->setTitleText(tuneText(TuneText::Speed, english).arg(unit));
    model_->setText(modelText());
    if (!busy() && identified_)
        setStatus(identified_->ok() ? tuneText(TuneText::BumpDone, english).arg(test_ ? test_->cyclesRun() : 0)
                                    : modelText());
    showSuggestion();
}

} // namespace tervalo
