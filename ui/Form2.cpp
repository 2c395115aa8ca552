#include "ui/Form2.h"

#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "engine/ClassicController.h"
#include "engine/FuzzyController.h"
#include "engine/SimulatedPlant.h"
#include "plant/ActuatorOutput.h"
#include "plant/PortDriver.h"
#include "plant/PulseCounter.h"
#include "runtime/NumberText.h"
#include "runtime/ResumeNext.h"
#include "runtime/RuntimeError.h"
#include "ui/Captions.h"
#include "ui/ClickLabel.h"
#include "ui/Form1.h"
#include "ui/Form2Layout.h"
#include "ui/HoverColours.h"
#include "ui/OptionButton.h"
#include "ui/QtEventPump.h"
#include "ui/RuleCell.h"
#include "ui/ScrollBar.h"
#include "ui/Shape.h"
#include "ui/Timer.h"
#include "ui/WindowChrome.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>

#include <cmath>
#include <cstdio>

namespace tervalo {

namespace {

QString text(const std::string &s) { return QString::fromStdString(s); }
QString whole(long long v) { return text(NumberText::whole(v)); }

const QColor kLedLit(255, 0, 0);
const QColor kLedDark(255, 192, 192);
const QColor kCellRed(255, 0, 0);
const QColor kCellFired(0, 0, 255); // &HFF0000: blue

// Runs a handler the user's action (or a control's event) triggered. A
// run-time error that escapes a handler must not take the window down: it is
// reported on stderr and the window goes on.
template <typename F>
void forward(F &&handler)
{
    try {
        handler();
    } catch (const RuntimeError &e) {
        std::fprintf(stderr, "tervalo: %s\n", e.what());
    }
}

} // namespace

// ---------------------------------------------------------------------------
// construction and wiring

Form2::Form2(PortDriver *port, EventPump *pump, QWidget *parent)
    : QWidget(parent), port_(port), pump_(pump)
{
    Timer1 = new Timer(this);
    Timer1->setInterval(200);
    Timer2 = new Timer(this);
    Timer2->setInterval(300);
    Timer3 = new Timer(this);

    Form2Layout::build(*this);
    HoverColours::install(*this);
    WindowChrome::install(*this);

    // The stored item lists of the rule cells are the Turkish terms.
    const QStringList stored = Captions::termNames(1);
    for (RuleCell *cell : Combo1Array)
        if (cell && cell->count() == 0)
            cell->setItems(stored);

    if (!pump_) {
        ownPump_ = new QtEventPump;
        pump_ = ownPump_;
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
}

Form2::~Form2()
{
    delete ownPump_;
}

void Form2::wireHandlers()
{
    Slider1->onChange = [this] { forward([this] { Slider1_Change(); }); };
    for (ScrollBar *bar : {Slider2, Slider3, Slider4, Slider5, Slider6, Slider7, Slider8, Slider12, Slider13}) {
        bar->onChange = [this, bar] { forward([this, bar] { gainSlider_Change(bar); }); };
        bar->onScroll = [this, bar] { forward([this, bar] { gainSlider_Change(bar); }); };
    }
    Myslider1->onChange = [this] { forward([this] { Myslider1_Change(); }); };
    Myslider1->onScroll = [this] { forward([this] { Myslider1_Scroll(); }); };

    QObject::connect(Slider9, &Myslider::Change, this, [this] { forward([this] { Slider9_Change(); }); });
    QObject::connect(Slider10, &Myslider::Change, this, [this] { forward([this] { Slider10_Change(); }); });
    QObject::connect(Slider11, &Myslider::MouseDown, this,
                     [this](short, short, float, float) { forward([this] { Slider11_MouseDown(); }); });
    QObject::connect(Slider11, &Myslider::MouseUp, this,
                     [this](short, short, float, float) { forward([this] { Slider11_MouseUp(); }); });

    Acik->onClick = [this] { forward([this] { Acik_Click(); }); };
    Kapalii->onClick = [this] { forward([this] { Kapalii_Click(); }); };
    simulasyon->onClick = [this] { forward([this] { simulasyon_Click(); }); };
    Pcontrol->onClick = [this] { forward([this] { Pcontrol_Click(); }); };
    Icontrol->onClick = [this] { forward([this] { Icontrol_Click(); }); };
    PIcontrol->onClick = [this] { forward([this] { PIcontrol_Click(); }); };
    PDcontrol->onClick = [this] { forward([this] { PDcontrol_Click(); }); };
    PIDcontrol->onClick = [this] { forward([this] { PIDcontrol_Click(); }); };
    Bulanik->onClick = [this] { forward([this] { Bulanik_Click(); }); };
    for (int i = 0; i < 2; ++i)
        DilArray[static_cast<std::size_t>(i)]->onClick = [this, i] { forward([this, i] { Dil_Click(i); }); };

    Label32->onClick = [this] { forward([this] { Label32_Click(); }); };
    Label33->onClick = [this] { forward([this] { Label33_Click(); }); };
    Label34->onClick = [this] { forward([this] { Label34_Click(); }); };
    Label27->onClick = [this] { forward([this] { Label27_Click(); }); };
    Picture12->onClick = [this] { forward([this] { Picture12_Click(); }); };
    Picture14->onClick = [this] { forward([this] { Picture14_Click(); }); };
    QObject::connect(Check1, &QCheckBox::clicked, this, [this] { forward([this] { Check1_Click(); }); });
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { forward([this] { Command1_Click(); }); });

    Timer1->onTimer = [this] { forward([this] { Timer1_Timer(); }); };
    Timer2->onTimer = [this] { forward([this] { Timer2_Timer(); }); };
}

// ---------------------------------------------------------------------------
// control arrays

namespace {
// An element of a control array; an index the window does not hold is a
// subscript error.
template <typename T, std::size_t N>
T *element(const std::array<T *, N> &array, int i, const char *name)
{
    if (i < 0 || i >= static_cast<int>(N) || !array[static_cast<std::size_t>(i)])
        raiseError(RuntimeError::SubscriptOutOfRange, name);
    return array[static_cast<std::size_t>(i)];
}
} // namespace

QLabel *Form2::Label48(int i) const { return element(Label48Array, i, "Label48"); }
QLabel *Form2::Label11(int i) const { return element(Label11Array, i, "Label11"); }
Shape *Form2::ShapeLed(int i) const { return element(ShapeArray, i, "Shape"); }
RuleCell *Form2::Combo1(int i) const { return element(Combo1Array, i, "Combo1"); }
OptionButton *Form2::Dil(int i) const { return element(DilArray, i, "Dil"); }

bool Form2::english() const
{
    return DilArray[0] && DilArray[0]->isChecked();
}

// ---------------------------------------------------------------------------
// port access

void Form2::portWrite(std::int32_t address, std::uint8_t value)
{
    if (!port_)
        throw PortError("no parallel-port driver");
    port_->DlPortWritePortUchar(address, value);
}

void Form2::portFailed(const std::string &what)
{
    // The kit cannot be reached any more: stop touching the port, say why
    // once, and let the run go on.
    portDriverPresent = false;
    if (reportPortFailure)
        reportPortFailure(what + "; port access stopped");
}

void Form2::writeZeroWord()
{
    if (!portDriverPresent || !port_)
        return;
    try {
        ActuatorOutput::writeZeroWord(*port_, portBase.value());
    } catch (const PortError &e) {
        portFailed(e.what());
    }
}

void Form2::endProgram()
{
    writeZeroWord();
    ending_ = true;
    stopRequested = true;
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
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
        sampleCount = 0;
        Myslider1->setMax(2000);
        Myslider1->setMin(500);
        Myslider1->setValue(1000);
        Label34_Click();
        Acik->setValue(true);
        Label1->setText(QStringLiteral("0"));
        portBase = 888;
        Slider1->setMax(4095);
        Slider1->setMin(0);
        Slider2->setMax(1200);
        Slider2->setMin(0);
        Slider3->setMax(5000);
        Slider3->setMin(0);
        Slider4->setMax(1000);
        Slider4->setMin(0);
        Slider5->setMax(3000);
        Slider5->setMin(0);
        Slider6->setMax(200);
        Slider6->setMin(0);
        Slider7->setMax(100);
        Slider7->setMin(0);
        Slider8->setMax(500);
        Slider8->setMin(0);
        Slider9->setMax(20);
        Slider9->setMin(1);
        Slider12->setMax(200);
        Slider12->setMin(0);
        Slider13->setMax(100);
        Slider13->setMin(0);
        Slider10->setMax(20);
        Slider10->setMin(2);
        Slider11->setMax(30);
        Slider11->setMin(1);
        Slider9->setValue(2);
        Slider10->setValue(10);
        for (ScrollBar *bar : {Slider2, Slider3, Slider4, Slider5, Slider6, Slider7, Slider8, Slider12, Slider13}) {
            bar->setValue(bar->Value() + 1);
            bar->setValue(bar->Value() - 1);
        }
        Picture1->setPixmap(pic[0]);
        stopRequested = false;
        for (RuleCell *cell : Combo1Array)
            cell->setCursor(Label32->cursor());
        Dil(0)->setValue(true);
        Mygraph1->setXlabel(QStringLiteral("(seconds)"));
        portDriverPresent = true;
        portWrite(portBase.value(), 0);
        portWrite((portBase + 2).value(), 11);
        Myslider1->setValue(1000);
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
    portDriverPresent = false; // before the box: a signal may end the program while it is open
    if (showMessage)
        showMessage(QStringLiteral("Please set up the 'port95nt.exe'.\r\n"
                                   "When setup complated you must restart your computer."));
}

void Form2::Label32_Click()
{
    if (Bulanik->isChecked()) {
        Slider9_Change();
        Slider10_Change();
    }
    Myslider1->setEnabled(false);
    Dil(0)->setEnabled(false);
    Dil(1)->setEnabled(false);
    Mygraph1->Resetle();
    sampleCount = 0;
    Command1_Click();
}

void Form2::Command1_Click()
{
    if (!Acik->isChecked() && Bulanik->isChecked())
        bringToFront(Frame5);
    Timer1->setEnabled(false);
    reference = Myslider1->Value();
    controlReference = reference;
    Slider1->setMin(simulasyon->isChecked() ? 0 : 1300);
    fuzzyOutput = Slider1->Min();
    prevError = 0;
    errorDeltaRange = Integer::fromExtended(Int(divide(controlReference.ld(), Slider9->Value())));
    outputDeltaRange = Integer::fromExtended(Int(divide(controlReference.ld(), Slider10->Value())));
    pulseCount = 0;
    outputY = 0;
    errorE = 0;
    Mygraph1->setGraph1Caption(QStringLiteral("R(t) =") + whole(Myslider1->Value()));
    Command1->setEnabled(false);
    Picture4->setEnabled(false);
    stopRequested = false;
    Kapali();
}

void Form2::Kapali()
{
    Timer1->setEnabled(true);
    PulseCounterIo io;
    io.port = port_;
    io.driverPresent = &portDriverPresent;
    io.pulseCount = &pulseCount;
    io.stopRequested = &stopRequested;
    io.ending = &ending_;
    // In simulation every sample would be replaced by the simulated output:
    // the loop then waits for events instead of polling the port.
    io.sampling = !simulasyon->isChecked();
    io.statusAddress = portBase.value() + 1;
    io.pump = pump_;
    io.onPortFailure = [this](const std::string &line) {
        if (reportPortFailure)
            reportPortFailure(line + "; port access stopped");
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
    Dil(0)->setEnabled(true);
    Dil(1)->setEnabled(true);
    Picture4->setEnabled(true);
    Myslider1->setEnabled(true);
    Timer3->setInterval(0);
}

void Form2::cikisahazirlan()
{
    stopRequested = true;
    dur();
    reference = 0;
}

void Form2::dur()
{
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
    Command1->setEnabled(true);
    Label21->setText(QString());
    Slider1->setValue(Slider1->Min());
    outputY = 0;
    errorE = 0;
    pulseCount = 0;
    fuzzyOutput = 0;
    Label17->setText(QString());
}

// ---------------------------------------------------------------------------
// the control cycle

void Form2::Timer1_Timer()
{
    ResumeNext step;
    const bool sim = simulasyon->isChecked();
    step([&] {
        if (!sim) {
            outputY = (pulseCount * 5).value();
        } else {
            pulseCount = Integer::fromExtended(Timer3->Interval());
            outputY = pulseCount.value();
        }
    });
    // The motor turns while the period counted more than ten changes.
    const bool turning = pulseCount.value() > 10;
    step([&] { pulseCount = 0; });
    step([&] { Mygraph1->setGraph2Caption(QStringLiteral("Y(t) =") + whole(outputY)); });
    step([&] { errorE = reference.value() - outputY; });
    step([&] { Mygraph1->setGraph3Caption(QStringLiteral("E(t) =") + whole(errorE)); });
    step([&] { Label17->setText(whole(outputY)); });
    step([&] { plotSample(); });
    step([&] { Mygraph1->setGraph1Caption(QStringLiteral("RT=") + whole(reference.value())); });
    step([&] { sampleCount = sampleCount + 1; });
    step([&] { outputInt = Integer::fromExtended(static_cast<Extended>(outputY)); });
    step([&] { currentError = reference - outputInt; });
    step([&] { errorDelta = currentError - prevError; });
    step([&] { samplePeriod = 0.2f; });
    if (!Bulanik->isChecked())
        step([&] { classicStep(); });
    if ((Kapalii->isChecked() || sim) && Bulanik->isChecked() && reference > 0)
        step([&] { fuzzyStep(); });
    step([&] { prevError = currentError; });
    step([&] {
        Timer2->setInterval(turning ? 200 : 0);
        Timer2->setEnabled(turning);
    });
    step([&] { pulseCount = 0; });
}

void Form2::plotSample()
{
    auto plot = [this] {
        Mygraph1->PlotGraph1(static_cast<double>(outputY), static_cast<double>(errorE), 0, 0, 0, 0, 0, 0, 0, 2);
    };
    try {
        plot();
    } catch (const RuntimeError &e) {
        if (e.number() != RuntimeError::FileAccess || !Mygraph1->AutoSaveGraph())
            throw;
        // The finished sweep could not be saved. Say so once, without
        // holding up the cycle, and let the graph go on without saving.
        Check1->setChecked(false);
        Check1_Click();
        if (notifyUser)
            notifyUser(QStringLiteral("Auto Save is turned off: the graph could not be saved.\n")
                       + QString::fromUtf8(e.what()));
        std::fprintf(stderr, "tervalo: auto save turned off: %s\n", e.what());
        plot();
    }
}

void Form2::classicStep()
{
    ResumeNext step;
    ClassicWorking w{errorRate, errorArea, negErrorRate};
    step([&] { ClassicController::updateWorkingValues(w, currentError, prevError, samplePeriod); });
    errorRate = w.errorRate;
    errorArea = w.errorArea;
    negErrorRate = w.negErrorRate;
    if (!(Kapalii->isChecked() || simulasyon->isChecked()))
        return;

    struct LawRow {
        OptionButton *button;
        ClassicLaw law;
        QLabel *readout;
    };
    const LawRow rows[] = {
        {Pcontrol, ClassicLaw::P, Label46},     {Icontrol, ClassicLaw::I, Label50},
        {PIcontrol, ClassicLaw::PI, Label54},   {PDcontrol, ClassicLaw::PD, Label13},
        {PIDcontrol, ClassicLaw::PID, Label5},
    };
    const LawRow *selected = nullptr;
    for (const LawRow &r : rows)
        if (r.button->isChecked()) {
            selected = &r;
            break;
        }
    if (!selected)
        return;

    step([&] {
        const Extended delta = ClassicController::increment(selected->law, w, currentError, prevError, kp, ki, kd);
        Slider1->setValue(CInt(delta + Slider1->Value()));
    });
    step([&] { selected->readout->setText(QStringLiteral("U= ") + whole(Slider1->Value())); });

    auto gain = [](const char *prefix, Single value) {
        return QString::fromLatin1(prefix) + text(NumberText::single(value));
    };
    const auto kpText = [&] { return gain("Kp= ", kp); };
    const auto kiText = [&] { return gain("Ki= ", ki); };
    const auto kdText = [&] { return gain("Kd= ", kd); };
    switch (selected->law) {
    case ClassicLaw::P:
        step([&] { Mygraph1->setGraph4Caption(kpText()); });
        break;
    case ClassicLaw::I:
        step([&] { Mygraph1->setGraph4Caption(kiText()); });
        break;
    case ClassicLaw::PI:
        step([&] { Mygraph1->setGraph4Caption(kpText()); });
        step([&] { Mygraph1->setGraph5Caption(kiText()); });
        break;
    case ClassicLaw::PD:
        step([&] { Mygraph1->setGraph4Caption(kpText()); });
        step([&] { Mygraph1->setGraph5Caption(kdText()); });
        break;
    case ClassicLaw::PID:
        step([&] { Mygraph1->setGraph4Caption(kpText()); });
        step([&] { Mygraph1->setGraph5Caption(kiText()); });
        step([&] { Mygraph1->setGraph6Caption(kdText()); });
        break;
    }
}

std::array<std::string, 7> Form2::termNames() const
{
    return {termNB, termNM, termNS, termZE, termPS, termPM, termPB};
}

QStringList Form2::termList() const
{
    QStringList list;
    for (const std::string &t : termNames())
        list << text(t);
    return list;
}

void Form2::fuzzyStep()
{
    ResumeNext step;
    const std::array<std::string, 7> names = termNames();
    auto nameOf = [&names](int term) { return term < 0 ? std::string() : names[static_cast<std::size_t>(term)]; };

    std::array<std::string, 49> cells;
    for (int i = 0; i < 49; ++i)
        cells[static_cast<std::size_t>(i)] = Combo1(i)->Text().toStdString();

    FuzzyResult r;
    const bool computed = step([&] {
        r = FuzzyController::step(currentError, errorDelta, controlReference, errorDeltaRange, outputDeltaRange,
                                  cells, names, outputDelta);
    });
    if (computed) {
        errorMembership1 = r.error.membership1;
        errorMembership2 = r.error.membership2;
        errorTerm1 = nameOf(r.error.term1);
        errorTerm2 = nameOf(r.error.term2);
        deltaMembership1 = r.delta.membership1;
        deltaMembership2 = r.delta.membership2;
        deltaTerm1 = nameOf(r.delta.term1);
        deltaTerm2 = nameOf(r.delta.term2);
        outputDelta = r.outputDelta;
    }

    // Highlight the fired rules; every other cell white on black text.
    std::array<bool, 49> fired{};
    if (computed)
        for (int cell : r.ruleCell)
            if (cell >= 0)
                fired[static_cast<std::size_t>(cell)] = true;

    step([&] { newOutput = fuzzyOutput + outputDelta; });
    step([&] { Label21->setText(QStringLiteral(" U= ") + whole(newOutput.value())); });
    step([&] { Label23->setText(QStringLiteral(" dU= ") + whole(outputDelta.value())); });

    // At a limit of the actuator the output is held there. The rule table
    // turns red to show the saturation; the student's rules and gains stay.
    bool saturated = false;
    step([&] {
        if (Slider1->Min() >= newOutput.value()) {
            saturated = true;
            newOutput = Slider1->Min();
        }
    });
    step([&] {
        if (newOutput.value() >= Slider1->Max()) {
            saturated = true;
            newOutput = Slider1->Max();
        }
    });
    for (int i = 0; i < 49; ++i) {
        RuleCell *cell = Combo1Array[static_cast<std::size_t>(i)];
        if (saturated) {
            cell->setBackColor(kCellRed);
            cell->setForeColor(Qt::black);
        } else if (fired[static_cast<std::size_t>(i)]) {
            cell->setBackColor(kCellFired);
            cell->setForeColor(Qt::white);
        } else {
            cell->setBackColor(Qt::white);
            cell->setForeColor(Qt::black);
        }
    }
    lastCycleSaturated_ = saturated;

    step([&] { fuzzyOutput = newOutput; });
    step([&] { Slider1->setValue(newOutput.value()); });
}

// ---------------------------------------------------------------------------
// actuator output

std::string Form2::Dec2Bin(double n)
{
    return ActuatorOutput::Dec2Bin(n);
}

double Form2::Bin2Dec(const std::string &s)
{
    return ActuatorOutput::Bin2Dec(s);
}

void Form2::Slider1_Change()
{
    const int v = Slider1->Value();
    if (simulasyon->isChecked()) {
        Timer3->setInterval(SimulatedPlant::output(v).value());
        return;
    }
    actuatorBits = ActuatorOutput::actuatorBits(v);
    dataBits = actuatorBits.substr(0, 8);
    controlBits = actuatorBits.substr(8, 4);
    if (Acik->isChecked())
        Data_Ledyak();
    if (portDriverPresent) {
        try {
            portWrite(portBase.value(), ActuatorOutput::dataByte(actuatorBits));
            portWrite((portBase + 2).value(), ActuatorOutput::controlByte(actuatorBits));
        } catch (const PortError &e) {
            portFailed(e.what());
        }
    }
}

void Form2::Data_Ledyak()
{
    const int n = static_cast<int>(actuatorBits.size());
    for (int i = n; i >= 1; --i)
        ShapeLed(n - i)->setFillColor(actuatorBits[static_cast<std::size_t>(i - 1)] == '1' ? kLedLit : kLedDark);
}

void Form2::Timer2_Timer()
{
    if (simulasyon->isChecked())
        return;
    Picture1->setPixmap(pic[static_cast<std::size_t>(animationFrame_)]);
    animationFrame_ = (animationFrame_ + 1) % 4;
    lampLit_ = !lampLit_;
    if (Shape1_29)
        Shape1_29->setFillColor(lampLit_ ? kLedLit : kLedDark);
}

// ---------------------------------------------------------------------------
// mode and controller selection

void Form2::bringToFront(QWidget *panel)
{
    if (panel)
        panel->raise();
    frontPanel_ = panel;
}

QWidget *Form2::selectedControllerPanel() const
{
    if (Bulanik->isChecked())
        return Frame5;
    if (Pcontrol->isChecked())
        return Pdenetim;
    if (Icontrol->isChecked())
        return Idenetim;
    if (PIcontrol->isChecked())
        return PIdenetim;
    if (PDcontrol->isChecked())
        return PDdenetim;
    if (PIDcontrol->isChecked())
        return PIDDenetim;
    return nullptr;
}

void Form2::Acik_Click()
{
    const int remembered = Slider1->Value();
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
    bringToFront(Frame4);
    for (OptionButton *b : {Pcontrol, Icontrol, PIcontrol, PDcontrol, PIDcontrol})
        b->setEnabled(false);
    Label48(57)->hide();
    Picture1->setPixmap(pic[1]);
    Captions::applyModeCaptions(*this, false);
    Bulanik->setEnabled(false);
    Command1->setEnabled(true);
    Label21->setText(QString());
    Slider1->setValue(remembered);
    outputY = 0;
    errorE = 0;
    Label48(44)->hide();
    Label48(45)->hide();
    Slider11->hide();
    Label33_Click();
}

void Form2::Kapalii_Click()
{
    dur();
    if (QWidget *panel = selectedControllerPanel())
        bringToFront(panel);
    for (OptionButton *b : {Pcontrol, Icontrol, PIcontrol, Bulanik, PIDcontrol, PDcontrol})
        b->setEnabled(true);
    Picture1->setPixmap(pic[1]);
    Captions::applyModeCaptions(*this, false);
    Mygraph1->setYlabel(english() ? QStringLiteral("(rpm)") : QStringLiteral("(d/dk)"));
    Label48(44)->hide();
    Label48(45)->hide();
    Label48(57)->hide();
    Slider11->hide();
    Label33_Click();
}

void Form2::simulasyon_Click()
{
    dur();
    if (QWidget *panel = selectedControllerPanel())
        bringToFront(panel);
    for (OptionButton *b : {Pcontrol, Icontrol, PIcontrol, PDcontrol, Bulanik, PIDcontrol})
        b->setEnabled(true);
    writeZeroWord();
    Picture1->setPixmap(pic[4]);
    Captions::applyModeCaptions(*this, true);
    Mygraph1->setYlabel(QStringLiteral("(Volt)"));
    Mygraph1->setXlabel(english() ? QStringLiteral("(Second)") : QStringLiteral("(Saniye)"));
    Label48(44)->show();
    Label48(45)->show();
    Label48(57)->show();
    Slider11->show();
    Label33_Click();
}

namespace {
// gain x 1000 as a scroll-bar value: half to even into 16 bits
int sliderValueOf(Single gain)
{
    return CInt(static_cast<Extended>(gain) * 1000);
}
} // namespace

void Form2::Pcontrol_Click()
{
    ResumeNext step;
    step([&] { Label40->setText(QStringLiteral("Kp= ") + text(NumberText::dbl(Slider2->Value() / 1000.0))); });
    step([&] { Slider2->setValue(sliderValueOf(kp)); });
    step([&] { bringToFront(Pdenetim); });
    step([&] { Label33_Click(); });
}

void Form2::Icontrol_Click()
{
    ResumeNext step;
    step([&] { bringToFront(Idenetim); });
    step([&] { Slider3->setValue(sliderValueOf(ki)); });
    step([&] { Label33_Click(); });
}

void Form2::PIcontrol_Click()
{
    ResumeNext step;
    step([&] { bringToFront(PIdenetim); });
    step([&] { Slider4->setValue(sliderValueOf(kp)); });
    step([&] { Slider5->setValue(sliderValueOf(ki)); });
    step([&] { Label33_Click(); });
}

void Form2::PDcontrol_Click()
{
    ResumeNext step;
    step([&] { bringToFront(PDdenetim); });
    step([&] { Slider12->setValue(sliderValueOf(kp)); });
    step([&] { Slider13->setValue(sliderValueOf(kd)); });
    step([&] { Label33_Click(); });
}

void Form2::PIDcontrol_Click()
{
    ResumeNext step;
    step([&] { bringToFront(PIDDenetim); });
    step([&] { Slider6->setValue(sliderValueOf(kp)); });
    step([&] { Slider7->setValue(sliderValueOf(kd)); });
    step([&] { Slider8->setValue(sliderValueOf(ki)); });
    step([&] { Label33_Click(); });
}

void Form2::Bulanik_Click()
{
    ResumeNext step;
    step([&] { bringToFront(Frame5); });
    step([&] { fuzzyOutput = Slider1->Value(); });
    step([&] { Label33_Click(); });
}

// ---------------------------------------------------------------------------
// gain and parameter sliders

void Form2::gainSlider_Change(ScrollBar *bar)
{
    struct GainRow {
        ScrollBar *bar;
        Single *gain;
        QLabel *label;
        const char *prefix;
    };
    const GainRow rows[] = {
        {Slider2, &kp, Label40, "Kp= "},  {Slider3, &ki, Label49, "Ki= "}, {Slider4, &kp, Label64, "Kp= "},
        {Slider5, &ki, Label61, "Ki= "},  {Slider12, &kp, Label14, "Kp= "}, {Slider13, &kd, Label10, "Kd= "},
        {Slider6, &kp, Label6, "Kp= "},   {Slider7, &kd, Label9, "Kd= "},  {Slider8, &ki, Label3, "Ki= "},
    };
    for (const GainRow &r : rows) {
        if (r.bar != bar)
            continue;
        // the thumb's position while dragging, the value otherwise
        const int v = bar->isSliderDown() ? bar->sliderPosition() : bar->Value();
        *r.gain = CSng(static_cast<Extended>(v) / 1000);
        r.label->setText(QString::fromLatin1(r.prefix) + text(NumberText::single(*r.gain)));
        return;
    }
}

void Form2::Myslider1_Change()
{
    const int v = Myslider1->Value();
    Mygraph1->Resetle();
    Mygraph1->RefValue = v;
    Text6->setText(whole(v));
    reference = v;
    controlReference = v;
    Mygraph1->setYmax(CLng(static_cast<Extended>(v) + static_cast<Extended>(v) * 0.8L));
    Mygraph1->setGraph1Caption(QStringLiteral("RT=") + whole(v));
}

void Form2::Myslider1_Scroll()
{
    const int v = Myslider1->isSliderDown() ? Myslider1->sliderPosition() : Myslider1->Value();
    Text6->setText(whole(v));
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
    divisorChanged(Slider9, Text1, errorDeltaRange);
}

void Form2::Slider10_Change()
{
    divisorChanged(Slider10, Text2, outputDeltaRange);
}

// A fuzzy divisor slider moved: show its value and set the range it divides.
void Form2::divisorChanged(Myslider *slider, QLineEdit *box, Integer &range)
{
    ResumeNext step;
    step([&] { controlReference = reference; });
    step([&] { box->setText(whole(slider->Value())); });
    step([&] { range = Integer::fromExtended(Int(divide(controlReference.ld(), divisorIn(box)))); });
}

void Form2::Slider11_MouseDown()
{
    loadAtPress = Slider11->Value();
}

void Form2::Slider11_MouseUp()
{
    loadAtRelease = Slider11->Value();
    const long long d = std::llabs(loadAtRelease - loadAtPress);
    ResumeNext step;
    // A load change of d steps moves the drive by d percent against it.
    auto moved = [&](Extended v) -> Extended {
        if (loadAtPress > loadAtRelease)
            return Int(v + d * v / 100);
        return Int(v - d * v / 100);
    };
    if (loadAtPress == loadAtRelease)
        return;
    if (!Bulanik->isChecked())
        step([&] { Slider1->setValue(CInt(moved(Slider1->Value()))); });
    else
        step([&] { fuzzyOutput = Integer::fromExtended(moved(fuzzyOutput.ld())); });
}

// ---------------------------------------------------------------------------
// rule table

void Form2::Label34_Click()
{
    for (int i = 0; i < 49; ++i) {
        RuleCell *cell = Combo1(i);
        cell->setListIndex(FuzzyController::defaultListIndex(i));
        cell->setBackColor(kCellRed);
        cell->setForeColor(Qt::black);
    }
    if (!Bulanik->isChecked())
        for (RuleCell *cell : Combo1Array)
            cell->setBackColor(Qt::white);
    for (ScrollBar *bar : {Slider2, Slider3, Slider4, Slider5, Slider6, Slider7, Slider8, Slider12, Slider13})
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
    for (RuleCell *cell : Combo1Array) {
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
    Captions::applyLanguage(*this, Index);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    reloadRuleTable(previous);
    QApplication::restoreOverrideCursor();
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
    Mygraph1->setAutoSaveGraph(Check1->isChecked());
}

} // namespace tervalo
