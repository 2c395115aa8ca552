#pragma once
// Form2: the main window. It owns the experiment state, every control, the
// run commands and the control cycle. Handlers are plain member functions
// named after the control and event; the Qt wiring only forwards to them.

#include "runtime/Integer.h"
#include "runtime/Long.h"
#include "runtime/Numeric.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tervalo {

class ClickLabel;
class EventPump;
class Mygraph;
class Myslider;
class OptionButton;
class PortDriver;
class RuleCell;
class ScrollBar;
class Shape;
class Timer;

class Form2 : public QWidget {
public:
    // port: the kit's driver (may be nullptr: no driver); pump: the event
    // queue the counting loop serves (nullptr: the application's own).
    explicit Form2(PortDriver *port = nullptr, EventPump *pump = nullptr, QWidget *parent = nullptr);
    ~Form2() override;

    // ---- experiment state record -------------------------------------
    long long outputY = 0;          // number
    long long errorE = 0;           // number
    Integer portBase = 0;
    Integer pulseCount = 0;
    std::string actuatorBits, dataBits, controlBits;
    Integer prevError = 0;
    Integer fuzzyOutput = 0;
    Integer reference = 0;
    Integer controlReference = 0;
    Integer errorDeltaRange = 0;
    Integer outputDeltaRange = 0;
    long long loadAtPress = 0;      // number
    long long loadAtRelease = 0;    // number
    bool stopRequested = false;
    Single kp = 0, ki = 0, kd = 0;
    std::string termNB, termNM, termNS, termZE, termPS, termPM, termPB;
    Long sampleCount = 0;
    bool portDriverPresent = false; // program-wide flag

    // control cycle working values
    Integer outputInt = 0, currentError = 0, errorDelta = 0;
    Single samplePeriod = 0;
    Single errorRate = 0, errorArea = 0, negErrorRate = 0;
    Single errorMembership1 = 0, errorMembership2 = 0, deltaMembership1 = 0, deltaMembership2 = 0;
    std::string errorTerm1, errorTerm2, deltaTerm1, deltaTerm2;
    Integer outputDelta = 0, newOutput = 0;

    // ---- handlers --------------------------------------------------------
    void Form_Load();
    void Label32_Click();   // START
    void Command1_Click();
    void Label33_Click();   // STOP
    void Label34_Click();   // RESET
    void cikisahazirlan();
    void dur();
    void Kapali();
    void Timer1_Timer();    // the control cycle
    void Timer2_Timer();    // motor animation
    void Slider1_Change();
    static std::string Dec2Bin(double n);
    static double Bin2Dec(const std::string &s);
    void Data_Ledyak();

    void Acik_Click();
    void Kapalii_Click();
    void simulasyon_Click();
    void Pcontrol_Click();
    void Icontrol_Click();
    void PIcontrol_Click();
    void PDcontrol_Click();
    void PIDcontrol_Click();
    void Bulanik_Click();

    void gainSlider_Change(ScrollBar *bar); // Slider2..8, 12, 13 change and scroll
    void Myslider1_Change();
    void Myslider1_Scroll();
    void Slider9_Change();
    void Slider10_Change();
    void Slider11_MouseDown();
    void Slider11_MouseUp();

    void Dil_Click(int Index);
    void Picture12_Click(); // minimise
    void Picture14_Click(); // close
    void Label27_Click();   // ABOUT
    void Check1_Click();

    // Classic and fuzzy steps of the cycle
    void classicStep();
    void fuzzyStep();
    // Language switch: new item lists; each cell's term translated from the
    // previous language's names.
    void reloadRuleTable(const QStringList &previousTerms);
    std::array<std::string, 7> termNames() const;
    QStringList termList() const; // the same, as the rule cells' item list

    // Puts out the all-zero actuator word when the driver is present; the
    // exit paths (close button, window closed, signals, quit) end here.
    void writeZeroWord();
    // End the program: all-zero word, every counting loop ended, quit.
    void endProgram();

    // ---- controls ---------------------------------------------------------
    // Control arrays are reached by index; an index the window does not
    // hold raises error 9.
    QLabel *Label48(int i) const;
    QLabel *Label11(int i) const;
    Shape *ShapeLed(int i) const;   // Shape(0) .. Shape(11)
    RuleCell *Combo1(int i) const;
    OptionButton *Dil(int i) const;

    Mygraph *Mygraph1 = nullptr;
    ScrollBar *Slider1 = nullptr, *Slider2 = nullptr, *Slider3 = nullptr, *Slider4 = nullptr,
              *Slider5 = nullptr, *Slider6 = nullptr, *Slider7 = nullptr, *Slider8 = nullptr,
              *Slider12 = nullptr, *Slider13 = nullptr, *Myslider1 = nullptr;
    Myslider *Slider9 = nullptr, *Slider10 = nullptr, *Slider11 = nullptr;
    OptionButton *Acik = nullptr, *Kapalii = nullptr, *simulasyon = nullptr, *Pcontrol = nullptr,
                 *Icontrol = nullptr, *PIcontrol = nullptr, *PDcontrol = nullptr, *PIDcontrol = nullptr,
                 *Bulanik = nullptr;
    std::array<OptionButton *, 2> DilArray{};
    std::array<RuleCell *, 49> Combo1Array{};
    std::array<QLabel *, 16> Label11Array{};
    std::array<QLabel *, 58> Label48Array{};
    std::array<Shape *, 12> ShapeArray{};
    Shape *Shape1_29 = nullptr, *Shape1_30 = nullptr, *Shape2 = nullptr, *Shape3 = nullptr,
          *Shape4 = nullptr, *Shape5 = nullptr, *Shape6 = nullptr, *Shape7 = nullptr,
          *Shape8 = nullptr, *Shape9 = nullptr;
    QGroupBox *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr, *Frame4 = nullptr,
              *Frame5 = nullptr, *Frame6 = nullptr, *Pdenetim = nullptr, *Idenetim = nullptr,
              *PIdenetim = nullptr, *PDdenetim = nullptr, *PIDDenetim = nullptr;
    QLabel *Label1 = nullptr, *Label2_0 = nullptr, *Label3 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label9 = nullptr, *Label10 = nullptr, *Label12 = nullptr,
           *Label13 = nullptr, *Label14 = nullptr, *Label17 = nullptr, *Label21 = nullptr,
           *Label22 = nullptr, *Label23 = nullptr, *Label24 = nullptr, *Label25 = nullptr,
           *Label28 = nullptr, *Label29 = nullptr, *Label30 = nullptr,
           *Label40 = nullptr, *Label46 = nullptr, *Label49 = nullptr,
           *Label50 = nullptr, *Label54 = nullptr, *Label61 = nullptr, *Label64 = nullptr;
    // clickable labels and pictures
    ClickLabel *Label27 = nullptr, *Label32 = nullptr, *Label33 = nullptr, *Label34 = nullptr,
               *Label39 = nullptr, *Label47 = nullptr, *Picture9 = nullptr, *Picture12 = nullptr,
               *Picture14 = nullptr;
    QLabel *Picture1 = nullptr, *Picture5 = nullptr, *Picture6 = nullptr, *Picture7 = nullptr,
           *Picture8 = nullptr, *Picture11 = nullptr, *Picture13 = nullptr, *Image1 = nullptr;
    std::array<QLabel *, 2> Picture10{};
    QWidget *Picture4 = nullptr; // the yellow box holding the ABOUT link
    std::array<QPixmap, 5> pic;  // plant frames: start-up, kit, animation, simulation
    QLineEdit *Text1 = nullptr, *Text2 = nullptr, *Text6 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr;
    Timer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;

    // ---- seams -------------------------------------------------------------
    // The start-up driver message; a modal box unless a test replaces it.
    std::function<void(const QString &)> showMessage;
    // The About window; modal unless a test replaces it.
    std::function<void()> showAbout;
    // Where port failures are reported (one line each); stderr by default.
    std::function<void(const std::string &)> reportPortFailure;
    // A notice that must not hold up the control cycle (non-modal).
    std::function<void(const QString &)> notifyUser;
    // Ends the application's event loop.
    std::function<void()> quitApplication;

    PortDriver *port() const { return port_; }
    bool english() const;
    bool ending() const { return ending_; }
    int runDepth() const { return runDepth_; }
    QWidget *frontPanel() const { return frontPanel_; }
    bool lastCycleSaturated() const { return lastCycleSaturated_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void wireHandlers();
    void portWrite(std::int32_t address, std::uint8_t value);
    void portFailed(const std::string &what);
    void bringToFront(QWidget *panel);
    QWidget *selectedControllerPanel() const;
    void driverMissing(const std::string &cause);
    void divisorChanged(Myslider *slider, QLineEdit *box, Integer &range);
    void plotSample();

    PortDriver *port_ = nullptr;
    EventPump *pump_ = nullptr;
    EventPump *ownPump_ = nullptr;
    bool ending_ = false;
    int runDepth_ = 0;
    int animationFrame_ = 0;
    bool lampLit_ = false;
    bool lastCycleSaturated_ = false;
    QWidget *frontPanel_ = nullptr;
};

} // namespace tervalo
