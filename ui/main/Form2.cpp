#include "ui/main/Form2.h"

#include "controls/form/ClickLabel.h"
#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "controls/form/Shape.h"
#include "controls/form/Timer.h"
#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "engine/ClassicPanels.h"
#include "engine/FuzzyController.h"
#include "engine/SessionLimits.h"
#include "engine/SimulatedPlant.h"
#include "plant/ActuatorOutput.h"
#include "plant/PortDriver.h"
#include "plant/PulseCounter.h"
#include "runtime/NumberText.h"
#include "runtime/ResumeNext.h"
#include "runtime/RuntimeError.h"
#include "session/Lab.h"
#include "ui/main/Captions.h"
#include "ui/main/Form1.h"
#include "ui/main/Form2Layout.h"
#include "ui/main/HoverColours.h"
#include "ui/main/QtEventPump.h"
#include "ui/main/RunSession.h"
#include "ui/main/WindowChrome.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>
#include <cstdio>

namespace tervalo {

namespace {

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}
QString whole(long long v)
{
    return text(NumberText::whole(v));
}

const QColor kLedLit(255, 0, 0);
const QColor kLedDark(255, 192, 192);
const QColor kCellRed(255, 0, 0);
const QColor kCellFired(0, 0, 255); // &HFF0000: blue

// Runs a handler the user's action (or a control's event) triggered. A
// run-time error that escapes a handler must not take the window down: it is
// reported on stderr and the window goes on.
template <typename F> void forward(F &&handler)
{
    try {
        handler();
    } catch (const RuntimeError &e) {
        std::fprintf(stderr, "tervalo: %s\n", e.what());
    }
}

// A gain scroll bar of the panel table by name; 9 for any other name.
ScrollBar *gainBar(const Form2Controls &c, const char *name)
{
    auto *bar = dynamic_cast<ScrollBar *>(c.named(name));
    if (!bar || !ClassicPanels::slider(name))
        raiseError(RuntimeError::SubscriptOutOfRange, name);
    return bar;
}

// Every gain scroll bar, panel by panel.
std::vector<ScrollBar *> gainBars(const Form2Controls &c)
{
    std::vector<ScrollBar *> bars;
    for (const ClassicPanel &panel : ClassicPanels::all())
        for (std::size_t k = 0; k < panel.sliderCount; ++k)
            bars.push_back(gainBar(c, panel.sliders[k].bar));
    return bars;
}

RunController controllerOf(ClassicLaw law)
{
    switch (law) {
    case ClassicLaw::P: return RunController::P;
    case ClassicLaw::I: return RunController::I;
    case ClassicLaw::PI: return RunController::PI;
    case ClassicLaw::PD: return RunController::PD;
    case ClassicLaw::PID: break;
    }
    return RunController::PID;
}

} // namespace

// ---------------------------------------------------------------------------
// construction and wiring

Form2::Form2(PortDriver *port, EventPump *pump, QWidget *parent) : QWidget(parent), port_(port), pump_(pump)
{
    c_.Timer1 = new Timer(this);
    c_.Timer1->setInterval(200);
    c_.Timer2 = new Timer(this);
    c_.Timer2->setInterval(300);
    c_.Timer3 = new Timer(this);

    c_.window = this;
    Form2Layout::build(*this, c_);
    HoverColours::install(*this);
    WindowChrome::install(*this, c_);
    host_ = std::make_unique<Host>(*this);
    lab_ = std::make_unique<Lab>(*this, cycle_, english());
    // a notice never holds up the cycle, and is not shown on the way out
    QObject::connect(lab_.get(), &Lab::notice, this, [this](const QString &t) {
        if (notifyUser && !ending_)
            notifyUser(t);
    });

    if (!pump_) {
        ownPump_ = std::make_unique<QtEventPump>();
        pump_ = ownPump_.get();
    }

    showMessage = [this](const QString &t) {
        QMessageBox::information(this, QStringLiteral("Dervani"), t, QMessageBox::Ok);
    };
    notifyUser = [this](const QString &t) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tervalo"), t, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    };
    showAbout = [this] {
        Form1 about(english(), this);
        about.exec();
    };
    reportPortFailure = [](const std::string &line) { std::fprintf(stderr, "tervalo: %s\n", line.c_str()); };
    quitApplication = [] { QCoreApplication::exit(0); };

    wireHandlers();
    setAutoSaveChoice(UserFolders().autoSaveFolder());

    graphMenu_ = new QMenu(this);
    ruleTableMenu_ = new QMenu(this);
    const auto offer = [](QWidget *w, QMenu *menu) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(w, &QWidget::customContextMenuRequested, menu, [w, menu](const QPoint &at) {
            if (!menu->isEmpty())
                menu->popup(w->mapToGlobal(at));
        });
    };
    offer(c_.Mygraph1, graphMenu_);
    offer(c_.Frame5, ruleTableMenu_);
    // a right click on a rule cell is the rule table's, not its text editor's
    for (RuleCell *cell : c_.Combo1Array) {
        offer(cell, ruleTableMenu_);
        if (cell->lineEdit())
            offer(cell->lineEdit(), ruleTableMenu_);
    }
    runSession_ = std::make_unique<RunSession>(*this);
    for (RuleCell *cell : c_.Combo1Array)
        QObject::connect(cell, &QComboBox::currentTextChanged, this, [this] { lab_->reportSetup(); });
}

RunSettings Form2::settings() const
{
    RunSettings r;
    r.start = std::chrono::system_clock::now();
    r.mode = c_.Acik->isChecked() ? RunMode::OpenLoop : c_.Kapalii->isChecked() ? RunMode::Kit : RunMode::Simulation;
    r.kp = r.ki = r.kd = kNoValue;
    if (c_.Bulanik->isChecked()) {
        r.controller = RunController::Fuzzy;
    } else if (const std::optional<ClassicLaw> law = selectedLaw()) {
        const ClassicPanel &panel = ClassicPanels::of(*law);
        r.controller = controllerOf(panel.law);
        // the gains as the bars show them (gain x 1000)
        for (std::size_t k = 0; k < panel.sliderCount; ++k) {
            const GainSlider &g = panel.sliders[k];
            const double v = ClassicPanels::fromBar(gainBar(c_, g.bar)->Value());
            (g.gain == Gain::Kp ? r.kp : g.gain == Gain::Ki ? r.ki : r.kd) = v;
        }
    }
    r.errorDivisor = c_.Slider9->Value();
    r.outputDivisor = c_.Slider10->Value();
    r.errorRange = s_.controlReference.value();
    r.deltaRange = s_.errorDeltaRange.value();
    r.outputRange = s_.outputDeltaRange.value();
    for (int i = 0; i < 49; ++i)
        r.rules[static_cast<std::size_t>(i)] = c_.Combo1(i)->Text().toStdString();
    r.termNames = s_.termNames();
    r.reference = c_.Myslider1->Value();
    r.actuatorMin = c_.Slider1->Min();
    r.actuatorMax = c_.Slider1->Max();
    r.load = c_.Slider11->Value();
    return r;
}

void Form2::setAutoSaveChoice(const UserFolders::AutoSave &choice)
{
    autoSave_ = choice;
    if (!choice.folder.isEmpty())
        c_.Mygraph1->setSaveFolder(choice.folder);
    c_.Check1->setToolTip(UserFolders::autoSaveToolTip(choice));
}

MenuHost Form2::menuHost()
{
    return MenuHost{this, graphMenu_, ruleTableMenu_, c_.Mygraph1};
}

void Form2::wireHandlers()
{
    c_.Slider1->onChange = [this] { forward([this] { Slider1_Change(); }); };
    for (ScrollBar *bar : gainBars(c_)) {
        bar->onChange = [this, bar] { forward([this, bar] { gainSlider_Change(bar); }); };
        bar->onScroll = [this, bar] { forward([this, bar] { gainSlider_Change(bar); }); };
    }
    c_.Myslider1->onChange = [this] { forward([this] { Myslider1_Change(); }); };
    c_.Myslider1->onScroll = [this] { forward([this] { Myslider1_Scroll(); }); };

    QObject::connect(c_.Slider9, &Myslider::Change, this, [this] { forward([this] { Slider9_Change(); }); });
    QObject::connect(c_.Slider10, &Myslider::Change, this, [this] { forward([this] { Slider10_Change(); }); });
    QObject::connect(c_.Slider11, &Myslider::MouseDown, this,
                     [this](short, short, float, float) { forward([this] { Slider11_MouseDown(); }); });
    QObject::connect(c_.Slider11, &Myslider::MouseUp, this,
                     [this](short, short, float, float) { forward([this] { Slider11_MouseUp(); }); });

    c_.Acik->onClick = [this] { forward([this] { Acik_Click(); }); };
    c_.Kapalii->onClick = [this] { forward([this] { Kapalii_Click(); }); };
    c_.simulasyon->onClick = [this] { forward([this] { simulasyon_Click(); }); };
    c_.Pcontrol->onClick = [this] { forward([this] { Pcontrol_Click(); }); };
    c_.Icontrol->onClick = [this] { forward([this] { Icontrol_Click(); }); };
    c_.PIcontrol->onClick = [this] { forward([this] { PIcontrol_Click(); }); };
    c_.PDcontrol->onClick = [this] { forward([this] { PDcontrol_Click(); }); };
    c_.PIDcontrol->onClick = [this] { forward([this] { PIDcontrol_Click(); }); };
    c_.Bulanik->onClick = [this] { forward([this] { Bulanik_Click(); }); };
    for (int i = 0; i < 2; ++i)
        c_.DilArray[static_cast<std::size_t>(i)]->onClick = [this, i] { forward([this, i] { Dil_Click(i); }); };

    c_.Label32->onClick = [this] { forward([this] { Label32_Click(); }); };
    c_.Label33->onClick = [this] { forward([this] { Label33_Click(); }); };
    // the cycles that run while STOP is held down are cut short by it
    c_.Label33->onPress = [this] { lab_->reportStopPressed(); };
    c_.Label33->onRelease = [this] { lab_->reportStopReleased(); };
    c_.Label34->onClick = [this] { forward([this] { Label34_Click(); }); };
    c_.Label27->onClick = [this] { forward([this] { Label27_Click(); }); };
    c_.Picture12->onClick = [this] { forward([this] { Picture12_Click(); }); };
    c_.Picture14->onClick = [this] { forward([this] { Picture14_Click(); }); };
    QObject::connect(c_.Check1, &QCheckBox::clicked, this, [this] { forward([this] { Check1_Click(); }); });
    QObject::connect(c_.Command1, &QPushButton::clicked, this, [this] { forward([this] { Command1_Click(); }); });

    c_.Timer1->onTimer = [this] { forward([this] { Timer1_Timer(); }); };
    c_.Timer2->onTimer = [this] { forward([this] { Timer2_Timer(); }); };
}

bool Form2::english() const
{
    return c_.DilArray[0] && c_.DilArray[0]->isChecked();
}

// ---------------------------------------------------------------------------
// port access

void Form2::portFailed(const std::string &what)
{
    // The kit cannot be reached any more: stop touching the port, say why
    // once, and let the run go on.
    s_.portDriverPresent = false;
    if (reportPortFailure)
        reportPortFailure(what + "; port access stopped");
    tellPortFailure(what);
}

void Form2::tellPortFailure(const std::string &what)
{
    // Told from the event loop: on a way out of the program (which may have
    // lost its display) the notice is simply never shown.
    const QString text = Captions::portFailureNotice(english(), QString::fromStdString(what));
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (notifyUser && !ending_)
                notifyUser(text);
        },
        Qt::QueuedConnection);
}

void Form2::writeZeroWord()
{
    if (!s_.portDriverPresent || !port_)
        return;
    try {
        ActuatorOutput::writeZeroWord(*port_, s_.portBase.value());
    } catch (const PortError &e) {
        portFailed(e.what());
    }
}

void Form2::endProgram()
{
    writeZeroWord();
    ending_ = true;
    lab_->reportEnding();
    s_.stopRequested = true;
    c_.Timer1->setEnabled(false);
    c_.Timer2->setEnabled(false);
    if (quitApplication)
        quitApplication();
}

void Form2::closeEvent(QCloseEvent *event)
{
    endProgram();
    event->accept();
}

// ---------------------------------------------------------------------------
// start-up, START, STOP

void Form2::Form_Load()
{
    try {
        // The desktop has no system menu to trim, and the rounded window
        // region is laid on when the window is built.
        s_.sampleCount = 0;
        c_.Myslider1->setMax(SessionLimits::kReferenceMax);
        c_.Myslider1->setMin(SessionLimits::kReferenceMin);
        c_.Myslider1->setValue(1000);
        Label34_Click();
        c_.Acik->setValue(true);
        c_.Label1->setText(QStringLiteral("0"));
        s_.portBase = 888;
        c_.Slider1->setMax(4095);
        c_.Slider1->setMin(0);
        for (const ClassicPanel &panel : ClassicPanels::all())
            for (std::size_t k = 0; k < panel.sliderCount; ++k) {
                ScrollBar *bar = gainBar(c_, panel.sliders[k].bar);
                bar->setMax(panel.sliders[k].max);
                bar->setMin(0);
            }
        c_.Slider9->setMax(SessionLimits::kErrorDivisorMax);
        c_.Slider9->setMin(SessionLimits::kErrorDivisorMin);
        c_.Slider10->setMax(SessionLimits::kOutputDivisorMax);
        c_.Slider10->setMin(SessionLimits::kOutputDivisorMin);
        c_.Slider11->setMax(SessionLimits::kLoadMax);
        c_.Slider11->setMin(SessionLimits::kLoadMin);
        c_.Slider9->setValue(2);
        c_.Slider10->setValue(10);
        for (ScrollBar *bar : gainBars(c_)) {
            bar->setValue(bar->Value() + 1);
            bar->setValue(bar->Value() - 1);
        }
        c_.Picture1->setPixmap(c_.pic[0]);
        s_.stopRequested = false;
        for (RuleCell *cell : c_.Combo1Array)
            cell->setCursor(c_.Label32->cursor());
        c_.Dil(0)->setValue(true);
        c_.Mygraph1->setXlabel(QStringLiteral("(seconds)"));
        s_.portDriverPresent = true;
        if (!port_)
            throw PortError("no parallel-port driver");
        ActuatorOutput::writeZeroWord(*port_, s_.portBase.value());
        c_.Myslider1->setValue(1000);
    } catch (const PortError &e) {
        driverMissing(e.what());
    } catch (const RuntimeError &e) {
        driverMissing(e.what());
    }
}

void Form2::driverMissing(const std::string &cause)
{
    if (reportPortFailure)
        reportPortFailure(cause);
    s_.portDriverPresent = false; // before the box: a signal may end the program while it is open
    if (showMessage)
        showMessage(QStringLiteral("Please set up the 'port95nt.exe'.\r\n"
                                   "When setup complated you must restart your computer."));
}

void Form2::Label32_Click()
{
    if (c_.Bulanik->isChecked()) {
        Slider9_Change();
        Slider10_Change();
    }
    c_.Myslider1->setEnabled(false);
    c_.Dil(0)->setEnabled(false);
    c_.Dil(1)->setEnabled(false);
    c_.Mygraph1->Resetle();
    s_.sampleCount = 0;
    Command1_Click();
}

void Form2::Command1_Click()
{
    if (!c_.Acik->isChecked() && c_.Bulanik->isChecked())
        bringToFront(c_.Frame5);
    c_.Timer1->setEnabled(false);
    s_.reference = c_.Myslider1->Value();
    s_.controlReference = s_.reference;
    c_.Slider1->setMin(SessionLimits::actuatorMin(!c_.simulasyon->isChecked()));
    s_.fuzzyOutput = c_.Slider1->Min();
    s_.prevError = 0;
    s_.errorDeltaRange = FuzzyController::rangeFor(s_.controlReference, c_.Slider9->Value());
    s_.outputDeltaRange = FuzzyController::rangeFor(s_.controlReference, c_.Slider10->Value());
    s_.pulseCount = 0;
    s_.outputY = 0;
    s_.errorE = 0;
    c_.Mygraph1->setGraph1Caption(QStringLiteral("R(t) =") + whole(c_.Myslider1->Value()));
    c_.Command1->setEnabled(false);
    c_.Picture4->setEnabled(false);
    s_.stopRequested = false;
    runActive_ = true;
    lab_->reportStart();
    Kapali();
}

void Form2::Kapali()
{
    c_.Timer1->setEnabled(true);
    PulseCounterIo io;
    io.port = port_;
    io.driverPresent = &s_.portDriverPresent;
    io.pulseCount = &s_.pulseCount;
    io.stopRequested = &s_.stopRequested;
    io.ending = &ending_;
    // In simulation every sample would be replaced by the simulated output:
    // the loop then waits for events instead of polling the port.
    io.sampling = !c_.simulasyon->isChecked();
    io.statusAddress = s_.portBase.value() + 1;
    io.pump = pump_;
    io.samplesPerPump = samplesPerPump_;
    io.pumpInterval = pumpInterval_;
    io.onPortFailure = [this](const std::string &line) {
        if (reportPortFailure)
            reportPortFailure(line + "; port access stopped");
        tellPortFailure(line);
    };
    ++runDepth_;
    try {
        PulseCounter::run(io);
    } catch (...) {
        --runDepth_;
        throw;
    }
    --runDepth_;
}

void Form2::Label33_Click()
{
    cikisahazirlan();
    c_.Dil(0)->setEnabled(true);
    c_.Dil(1)->setEnabled(true);
    c_.Picture4->setEnabled(true);
    c_.Myslider1->setEnabled(true);
    c_.Timer3->setInterval(0);
    if (runActive_) {
        // the plant picture and the motor lamp at rest
        lampLit_ = false;
        if (c_.Shape1_29)
            c_.Shape1_29->setFillColor(kLedDark);
        c_.Picture1->setPixmap(c_.pic[c_.simulasyon->isChecked() ? 4 : 1]);
        runActive_ = false;
        lab_->reportStop();
    }
}

void Form2::cikisahazirlan()
{
    s_.stopRequested = true;
    dur();
    s_.reference = 0;
}

void Form2::dur()
{
    c_.Timer1->setEnabled(false);
    c_.Timer2->setEnabled(false);
    c_.Command1->setEnabled(true);
    c_.Label21->setText(QString());
    c_.Slider1->setValue(c_.Slider1->Min());
    s_.outputY = 0;
    s_.errorE = 0;
    s_.pulseCount = 0;
    s_.fuzzyOutput = 0;
    c_.Label17->setText(QString());
}

// ---------------------------------------------------------------------------
// the control cycle

// The window as the control cycle's host: the selections are the option
// buttons, the readouts and legend the labels and graph, the actuator
// Slider1, the simulated output the interval of Timer3.
class Form2::Host : public CycleHost {
public:
    explicit Host(Form2 &form) : f_(form), c_(form.c_)
    {
        const auto &panels = ClassicPanels::all();
        for (std::size_t k = 0; k < panels.size(); ++k) {
            options_[k] = dynamic_cast<OptionButton *>(c_.named(panels[k].option));
            outputs_[k] = dynamic_cast<QLabel *>(c_.named(panels[k].output));
        }
    }

    CycleSelection selection() const override
    {
        CycleSelection sel;
        sel.kit = c_.Kapalii->isChecked();
        sel.simulation = c_.simulasyon->isChecked();
        sel.fuzzy = c_.Bulanik->isChecked();
        const auto &panels = ClassicPanels::all();
        for (std::size_t k = 0; k < panels.size(); ++k)
            if (options_[k]->isChecked()) {
                sel.law = panels[k].law;
                break;
            }
        return sel;
    }
    std::int32_t simulatedOutput() const override { return c_.Timer3->Interval(); }
    void setGraphCaption(int index, const std::string &t) override
    {
        const QString q = text(t);
        switch (index) {
        case 1: c_.Mygraph1->setGraph1Caption(q); break;
        case 2: c_.Mygraph1->setGraph2Caption(q); break;
        case 3: c_.Mygraph1->setGraph3Caption(q); break;
        case 4: c_.Mygraph1->setGraph4Caption(q); break;
        case 5: c_.Mygraph1->setGraph5Caption(q); break;
        case 6: c_.Mygraph1->setGraph6Caption(q); break;
        default: raiseError(RuntimeError::SubscriptOutOfRange, "Graph caption");
        }
    }
    void setReadout(Readout which, const std::string &t) override
    {
        QLabel *label = nullptr;
        switch (which) {
        case Readout::Speed: label = c_.Label17; break;
        case Readout::FuzzyOutput: label = c_.Label21; break;
        case Readout::FuzzyStep: label = c_.Label23; break;
        case Readout::LawOutput:
            for (std::size_t k = 0; k < options_.size(); ++k)
                if (options_[k]->isChecked())
                    label = outputs_[k];
            break;
        }
        if (label)
            label->setText(text(t));
    }
    void plotSample(double y, double e) override { f_.plotSample(y, e); }
    int actuatorValue() const override { return c_.Slider1->Value(); }
    int actuatorMin() const override { return c_.Slider1->Min(); }
    int actuatorMax() const override { return c_.Slider1->Max(); }
    void setActuatorValue(int value) override { c_.Slider1->setValue(value); }
    void ruleTexts(std::array<std::string, 49> &out) const override
    {
        for (int i = 0; i < 49; ++i)
            out[static_cast<std::size_t>(i)] = c_.Combo1(i)->Text().toStdString();
    }
    void showRuleCells(const std::array<RuleShade, 49> &shades) override
    {
        for (std::size_t i = 0; i < shades.size(); ++i) {
            RuleCell *cell = c_.Combo1Array[i];
            switch (shades[i]) {
            case RuleShade::Saturated:
                cell->setBackColor(kCellRed);
                cell->setForeColor(Qt::black);
                break;
            case RuleShade::Fired:
                cell->setBackColor(kCellFired);
                cell->setForeColor(Qt::white);
                break;
            case RuleShade::Plain:
                cell->setBackColor(Qt::white);
                cell->setForeColor(Qt::black);
                break;
            }
        }
    }
    void setAnimation(bool turning) override
    {
        c_.Timer2->setInterval(turning ? 200 : 0);
        c_.Timer2->setEnabled(turning);
    }

    OptionButton *optionOf(const ClassicPanel &panel) const
    {
        return options_[static_cast<std::size_t>(&panel - ClassicPanels::all().data())];
    }

private:
    Form2 &f_;
    Form2Controls &c_;
    std::array<OptionButton *, 5> options_{};
    std::array<QLabel *, 5> outputs_{};
};

void Form2::Timer1_Timer()
{
    cycle_.run(s_, *host_);
}

void Form2::plotSample(double y, double e)
{
    // Trace 3 is the baseline's Y at this cycle (the count goes up after the
    // plot, so it indexes the list directly); without one, Y and E alone.
    double base = 0;
    std::int16_t traces = 2;
    if (const std::vector<double> *baseline = lab_->runBaseline()) {
        const long long at = s_.sampleCount.value();
        if (at >= 0 && static_cast<std::size_t>(at) < baseline->size()) {
            const double b = (*baseline)[static_cast<std::size_t>(at)];
            if (std::isfinite(b)) {
                base = b;
                traces = 3;
            }
        }
    }
    auto plot = [this, y, e, base, traces] { c_.Mygraph1->PlotGraph1(y, e, base, 0, 0, 0, 0, 0, 0, traces); };
    try {
        plot();
    } catch (const RuntimeError &err) {
        if (err.number() != RuntimeError::FileAccess || !c_.Mygraph1->AutoSaveGraph())
            throw;
        // The finished sweep could not be saved. Say so once, without
        // holding up the cycle, and let the graph go on without saving.
        c_.Check1->setChecked(false);
        Check1_Click();
        if (notifyUser)
            notifyUser(QStringLiteral("Auto Save is turned off: the graph could not be saved.\n")
                       + QString::fromUtf8(err.what()));
        std::fprintf(stderr, "tervalo: auto save turned off: %s\n", err.what());
        plot();
    }
}

QStringList Form2::termList() const
{
    QStringList list;
    for (const std::string &t : s_.termNames())
        list << text(t);
    return list;
}

// ---------------------------------------------------------------------------
// actuator output

void Form2::Slider1_Change()
{
    const int v = c_.Slider1->Value();
    if (c_.simulasyon->isChecked()) {
        c_.Timer3->setInterval(SimulatedPlant::output(v).value());
        return;
    }
    s_.actuatorBits = ActuatorOutput::actuatorBits(v);
    s_.dataBits = s_.actuatorBits.substr(0, 8);
    s_.controlBits = s_.actuatorBits.substr(8, 4);
    if (c_.Acik->isChecked())
        Data_Ledyak();
    if (s_.portDriverPresent) {
        try {
            ActuatorOutput::writeWord(*port_, s_.portBase.value(), v);
        } catch (const PortError &e) {
            portFailed(e.what());
        }
    }
}

void Form2::Data_Ledyak()
{
    const int n = static_cast<int>(s_.actuatorBits.size());
    for (int i = n; i >= 1; --i)
        c_.ShapeLed(n - i)->setFillColor(s_.actuatorBits[static_cast<std::size_t>(i - 1)] == '1' ? kLedLit : kLedDark);
}

void Form2::Timer2_Timer()
{
    if (c_.simulasyon->isChecked())
        return;
    c_.Picture1->setPixmap(c_.pic[static_cast<std::size_t>(animationFrame_)]);
    animationFrame_ = (animationFrame_ + 1) % 4;
    lampLit_ = !lampLit_;
    if (c_.Shape1_29)
        c_.Shape1_29->setFillColor(lampLit_ ? kLedLit : kLedDark);
}

// ---------------------------------------------------------------------------
// mode and controller selection

void Form2::bringToFront(QWidget *panel)
{
    if (panel)
        panel->raise();
    frontPanel_ = panel;
}

std::optional<ClassicLaw> Form2::selectedLaw() const
{
    return host_->selection().law;
}

QWidget *Form2::selectedControllerPanel() const
{
    if (c_.Bulanik->isChecked())
        return c_.Frame5;
    for (const ClassicPanel &panel : ClassicPanels::all())
        if (host_->optionOf(panel)->isChecked())
            return c_.named(panel.panel);
    return nullptr;
}

void Form2::Acik_Click()
{
    const int remembered = c_.Slider1->Value();
    c_.Timer1->setEnabled(false);
    c_.Timer2->setEnabled(false);
    bringToFront(c_.Frame4);
    for (OptionButton *b : {c_.Pcontrol, c_.Icontrol, c_.PIcontrol, c_.PDcontrol, c_.PIDcontrol})
        b->setEnabled(false);
    c_.Label48(57)->hide();
    c_.Picture1->setPixmap(c_.pic[1]);
    Captions::applyModeCaptions(c_, false);
    c_.Bulanik->setEnabled(false);
    c_.Command1->setEnabled(true);
    c_.Label21->setText(QString());
    c_.Slider1->setValue(remembered);
    s_.outputY = 0;
    s_.errorE = 0;
    c_.Label48(44)->hide();
    c_.Label48(45)->hide();
    c_.Slider11->hide();
    Label33_Click();
}

void Form2::Kapalii_Click()
{
    dur();
    if (QWidget *panel = selectedControllerPanel())
        bringToFront(panel);
    for (OptionButton *b : {c_.Pcontrol, c_.Icontrol, c_.PIcontrol, c_.Bulanik, c_.PIDcontrol, c_.PDcontrol})
        b->setEnabled(true);
    c_.Picture1->setPixmap(c_.pic[1]);
    Captions::applyModeCaptions(c_, false);
    c_.Mygraph1->setYlabel(english() ? QStringLiteral("(rpm)") : QStringLiteral("(d/dk)"));
    c_.Label48(44)->hide();
    c_.Label48(45)->hide();
    c_.Label48(57)->hide();
    c_.Slider11->hide();
    Label33_Click();
}

void Form2::simulasyon_Click()
{
    dur();
    if (QWidget *panel = selectedControllerPanel())
        bringToFront(panel);
    for (OptionButton *b : {c_.Pcontrol, c_.Icontrol, c_.PIcontrol, c_.PDcontrol, c_.Bulanik, c_.PIDcontrol})
        b->setEnabled(true);
    writeZeroWord();
    c_.Picture1->setPixmap(c_.pic[4]);
    Captions::applyModeCaptions(c_, true);
    c_.Mygraph1->setYlabel(QStringLiteral("(Volt)"));
    c_.Mygraph1->setXlabel(english() ? QStringLiteral("(Second)") : QStringLiteral("(Saniye)"));
    c_.Label48(44)->show();
    c_.Label48(45)->show();
    c_.Label48(57)->show();
    c_.Slider11->show();
    Label33_Click();
}

namespace {
// gain x 1000 as a scroll-bar value: half to even into 16 bits
int sliderValueOf(Single gain)
{
    return CInt(static_cast<Extended>(gain) * 1000);
}

Single &gainOf(ExperimentState &s, Gain g)
{
    return g == Gain::Kp ? s.kp : g == Gain::Ki ? s.ki : s.kd;
}

QString gainText(Gain g, Single value)
{
    return QString::fromLatin1(ClassicPanels::prefix(g)) + text(NumberText::single(value));
}
} // namespace

// Selecting a classic law: its panel to the front, its bars set from the
// gains the laws share, then STOP.
void Form2::selectClassic(const ClassicPanel &panel)
{
    ResumeNext step;
    if (panel.readoutFirst) {
        const GainSlider &first = panel.sliders[0];
        step([&] {
            static_cast<QLabel *>(c_.named(first.readout))
                ->setText(QString::fromLatin1(ClassicPanels::prefix(first.gain))
                          + text(NumberText::dbl(gainBar(c_, first.bar)->Value() / 1000.0)));
        });
    }
    step([&] { bringToFront(c_.named(panel.panel)); });
    for (std::size_t k = 0; k < panel.sliderCount; ++k)
        step([&] { gainBar(c_, panel.sliders[k].bar)->setValue(sliderValueOf(gainOf(s_, panel.sliders[k].gain))); });
    step([&] { Label33_Click(); });
}

void Form2::Pcontrol_Click()
{
    selectClassic(ClassicPanels::of(ClassicLaw::P));
}

void Form2::Icontrol_Click()
{
    selectClassic(ClassicPanels::of(ClassicLaw::I));
}

void Form2::PIcontrol_Click()
{
    selectClassic(ClassicPanels::of(ClassicLaw::PI));
}

void Form2::PDcontrol_Click()
{
    selectClassic(ClassicPanels::of(ClassicLaw::PD));
}

void Form2::PIDcontrol_Click()
{
    selectClassic(ClassicPanels::of(ClassicLaw::PID));
}

void Form2::Bulanik_Click()
{
    ResumeNext step;
    step([&] { bringToFront(c_.Frame5); });
    step([&] { s_.fuzzyOutput = c_.Slider1->Value(); });
    step([&] { Label33_Click(); });
}

// ---------------------------------------------------------------------------
// gain and parameter sliders

void Form2::gainSlider_Change(ScrollBar *bar)
{
    const GainSlider *row = ClassicPanels::slider(bar->objectName().toStdString());
    if (!row)
        return;
    // the thumb's position while dragging, the value otherwise
    const int v = bar->isSliderDown() ? bar->sliderPosition() : bar->Value();
    Single &gain = gainOf(s_, row->gain);
    gain = CSng(static_cast<Extended>(v) / 1000);
    static_cast<QLabel *>(c_.named(row->readout))->setText(gainText(row->gain, gain));
}

void Form2::Myslider1_Change()
{
    const int v = c_.Myslider1->Value();
    c_.Mygraph1->Resetle();
    c_.Mygraph1->RefValue = v;
    c_.Text6->setText(whole(v));
    s_.reference = v;
    s_.controlReference = v;
    c_.Mygraph1->setYmax(CLng(static_cast<Extended>(v) + static_cast<Extended>(v) * 0.8L));
    c_.Mygraph1->setGraph1Caption(QStringLiteral("RT=") + whole(v));
    lab_->reportSetup();
}

void Form2::Myslider1_Scroll()
{
    const int v = c_.Myslider1->isSliderDown() ? c_.Myslider1->sliderPosition() : c_.Myslider1->Value();
    c_.Text6->setText(whole(v));
}

namespace {
// The divisor shown in a text box, as a number; a text that is not a
// number is a run-time error of the statement that reads it.
double divisorIn(const QLineEdit *box)
{
    double d = 0;
    if (!NumberText::parse(box->text().toStdString(), d))
        raiseError(RuntimeError::Overflow, "not a number");
    return d;
}
} // namespace

void Form2::Slider9_Change()
{
    divisorChanged(c_.Slider9, c_.Text1, s_.errorDeltaRange);
}

void Form2::Slider10_Change()
{
    divisorChanged(c_.Slider10, c_.Text2, s_.outputDeltaRange);
}

// A fuzzy divisor slider moved: show its value and set the range it divides.
void Form2::divisorChanged(Myslider *slider, QLineEdit *box, Integer &range)
{
    ResumeNext step;
    step([&] { s_.controlReference = s_.reference; });
    step([&] { box->setText(whole(slider->Value())); });
    step([&] { range = FuzzyController::rangeFor(s_.controlReference, divisorIn(box)); });
    lab_->reportSetup();
}

void Form2::Slider11_MouseDown()
{
    s_.loadAtPress = c_.Slider11->Value();
}

void Form2::Slider11_MouseUp()
{
    s_.loadAtRelease = c_.Slider11->Value();
    const long long d = std::llabs(s_.loadAtRelease - s_.loadAtPress);
    ResumeNext step;
    // A load change of d steps moves the drive by d percent against it.
    auto moved = [&](Extended v) -> Extended {
        if (s_.loadAtPress > s_.loadAtRelease)
            return Int(v + d * v / 100);
        return Int(v - d * v / 100);
    };
    if (s_.loadAtPress == s_.loadAtRelease)
        return;
    lab_->reportLoad(static_cast<int>(s_.loadAtPress), static_cast<int>(s_.loadAtRelease));
    if (!c_.Bulanik->isChecked())
        step([&] { c_.Slider1->setValue(CInt(moved(c_.Slider1->Value()))); });
    else
        step([&] { s_.fuzzyOutput = Integer::fromExtended(moved(s_.fuzzyOutput.ld())); });
}

// ---------------------------------------------------------------------------
// rule table

void Form2::Label34_Click()
{
    for (int i = 0; i < 49; ++i) {
        RuleCell *cell = c_.Combo1(i);
        cell->setListIndex(FuzzyController::defaultListIndex(i));
        cell->setBackColor(kCellRed);
        cell->setForeColor(Qt::black);
    }
    if (!c_.Bulanik->isChecked())
        for (RuleCell *cell : c_.Combo1Array)
            cell->setBackColor(Qt::white);
    for (ScrollBar *bar : gainBars(c_))
        bar->setValue(bar->Min());
}

void Form2::reloadRuleTable(const QStringList &previousTerms)
{
    // New item lists in the current language; each cell keeps its rule,
    // written with the current language's term. A text that is no term of
    // either language stays as the student typed it.
    const QStringList current = termList();
    const QStringList english = Captions::termNames(0);
    const QStringList turkish = Captions::termNames(1);
    for (RuleCell *cell : c_.Combo1Array) {
        const QString t = cell->Text();
        int term = previousTerms.indexOf(t);
        if (term < 0)
            term = english.indexOf(t);
        if (term < 0)
            term = turkish.indexOf(t);
        cell->setItems(current);
        if (term >= 0)
            cell->setListIndex(term);
        else
            cell->setText(t);
    }
}

// ---------------------------------------------------------------------------
// language, chrome, auxiliary commands

void Form2::Dil_Click(int Index)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList previous = termList();
    Captions::applyLanguage(c_, s_, Index);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    reloadRuleTable(previous);
    QApplication::restoreOverrideCursor();
    lab_->reportLanguage(english());
}

void Form2::Picture12_Click()
{
    showMinimized();
}

void Form2::Picture14_Click()
{
    endProgram();
}

void Form2::Label27_Click()
{
    if (showAbout)
        showAbout();
}

void Form2::Check1_Click()
{
    if (c_.Check1->isChecked() && autoSave_.folder.isEmpty()) {
        // No folder can take the pictures: say why, and leave Auto Save off.
        c_.Check1->setChecked(false);
        if (notifyUser)
            notifyUser(autoSave_.notice);
    }
    c_.Mygraph1->setAutoSaveGraph(c_.Check1->isChecked());
}

// ---------------------------------------------------------------------------
// the session as a student sets it up

void Form2::selectMode(RunMode mode)
{
    OptionButton *option = mode == RunMode::OpenLoop ? c_.Acik : mode == RunMode::Kit ? c_.Kapalii : c_.simulasyon;
    option->setValue(true);
}

bool Form2::selectController(const std::string &name)
{
    if (name == "fuzzy") {
        c_.Bulanik->setValue(true);
        return true;
    }
    const ClassicPanel *panel = ClassicPanels::named(name);
    if (!panel)
        return false;
    host_->optionOf(*panel)->setValue(true);
    return true;
}

void Form2::setGainBar(const std::string &bar, int value)
{
    gainBar(c_, bar.c_str())->setValue(value);
}

int Form2::gainBarMax(const std::string &bar) const
{
    return gainBar(c_, bar.c_str())->Max();
}

void Form2::setReference(int rpm)
{
    const int before = c_.Myslider1->Value();
    c_.Myslider1->setValue(rpm);
    if (c_.Myslider1->Value() != before)
        return; // the slider's change handler took it
    // The slider is there already, and a slider that does not move runs no
    // handler; but a test program's step may have moved the reference the
    // window shows. The box and the graph's reference line take the slider's
    // value again; the picture of the run just ended stays as it is.
    c_.Text6->setText(whole(before));
    c_.Mygraph1->RefValue = before;
}

void Form2::setDivisors(int errorDivisor, int outputDivisor)
{
    c_.Slider9->setValue(errorDivisor);
    c_.Slider10->setValue(outputDivisor);
}

void Form2::setActuator(int value)
{
    c_.Slider1->setValue(value);
}

int Form2::actuatorValue() const
{
    return c_.Slider1->Value();
}

void Form2::setRuleTerm(int cell, int term)
{
    c_.Combo1(cell)->setListIndex(term);
}

void Form2::moveLoad(int from, int to)
{
    // a press at from, a drag, a release at to
    c_.Slider11->setValue(from);
    Slider11_MouseDown();
    c_.Slider11->setValue(to);
    Slider11_MouseUp();
}

int Form2::loadValue() const
{
    return c_.Slider11->Value();
}

void Form2::stepReference(int rpm)
{
    s_.reference = rpm;
    s_.controlReference = rpm;
    s_.errorDeltaRange = FuzzyController::rangeFor(s_.controlReference, c_.Slider9->Value());
    s_.outputDeltaRange = FuzzyController::rangeFor(s_.controlReference, c_.Slider10->Value());
    c_.Mygraph1->stepRefValue(rpm);
    c_.Mygraph1->setGraph1Caption(QStringLiteral("R(t) =") + whole(rpm));
    c_.Text6->setText(whole(rpm));
}

QImage Form2::graphPicture() const
{
    return c_.Mygraph1->picture();
}

void Form2::setCountingPace(std::uint64_t samplesPerPump, std::chrono::nanoseconds pumpInterval)
{
    samplesPerPump_ = samplesPerPump;
    pumpInterval_ = pumpInterval;
}

std::string Form2::controllerName() const
{
    if (c_.Bulanik->isChecked())
        return runControllerName(RunController::Fuzzy);
    if (const std::optional<ClassicLaw> law = selectedLaw())
        return ClassicPanels::of(*law).name;
    return {};
}

int Form2::gainBarValue(const std::string &bar) const
{
    return gainBar(c_, bar.c_str())->Value();
}

QWidget *Form2::graph() const
{
    return c_.Mygraph1;
}

Form2::~Form2()
{
    // the windows built on the lab go before it
    for (QWidget *w : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isWindow())
            delete w;
}

} // namespace tervalo
