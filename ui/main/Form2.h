#pragma once
// Form2: the main window. It owns the experiment state, the controls, the
// run commands and the control cycle's host. Handlers are plain member
// functions named after the control and event; the Qt wiring only forwards
// to them, and the control cycle itself lives in engine/ControlCycle.

#include "engine/ClassicPanels.h"
#include "engine/ControlCycle.h"
#include "engine/ExperimentState.h"
#include "session/Lab.h"
#include "session/LabControls.h"
#include "store/UserFolders.h"
#include "ui/main/Form2Controls.h"
#include "ui/windows/MenuHost.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

class QMenu;

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tervalo {

class EventPump;
class Myslider;
class PortDriver;
class QtEventPump;
class RunRecord;
class RunSession;
class ScrollBar;

class Form2 : public QWidget, public LabControls {
public:
    // port: the kit's driver (may be nullptr: no driver); pump: the event
    // queue the counting loop serves (nullptr: the application's own).
    explicit Form2(PortDriver *port = nullptr, EventPump *pump = nullptr, QWidget *parent = nullptr);
    ~Form2() override;

    ExperimentState &state() { return s_; }
    const ExperimentState &state() const override { return s_; }
    ControlCycle &cycle() { return cycle_; }
    // What every window shares about the session (see Lab).
    Lab &lab() { return *lab_; }
    const Lab &lab() const { return *lab_; }

    // ---- handlers --------------------------------------------------------
    void Form_Load();
    void Label32_Click(); // START
    void Command1_Click();
    void Label33_Click(); // STOP
    void Label34_Click(); // RESET
    void cikisahazirlan();
    void dur();
    void Kapali();
    void Timer1_Timer(); // the control cycle
    void Timer2_Timer(); // motor animation
    void Slider1_Change();
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

    void gainSlider_Change(ScrollBar *bar); // the gain bars' change and scroll
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

    // ---- the session as a student sets it up ------------------------------
    // Each goes through the handlers the student's clicks and drags run
    // (see LabControls).
    void selectMode(RunMode mode) override;
    bool selectController(const std::string &name) override;
    void setGainBar(const std::string &bar, int value) override;
    int gainBarMax(const std::string &bar) const override;
    // The reference slider; at its value already, the box and the graph's
    // reference line show that value again (after a test program's step).
    void setReference(int rpm) override;
    void setDivisors(int errorDivisor, int outputDivisor) override;
    void setActuator(int value) override;
    int actuatorValue() const override;
    void setRuleTerm(int cell, int term) override; // term 0..6 of the current language
    void moveLoad(int from, int to) override;
    int loadValue() const override;
    // A step of the reference during a run: the next cycle and the graph's
    // reference line take the new value; the sweep is not cleared.
    void stepReference(int rpm) override;
    void start() override { Label32_Click(); }
    void stop() override { Label33_Click(); }
    bool kitReachable() const override { return port_ && s_.portDriverPresent; }
    RunSettings settings() const override;
    QImage graphPicture() const;

    // How the counting loop paces its samples between two pumps (see
    // PulseCounterIo): a virtual-clock run needs a fixed number of samples
    // per pump. 0 samples: limited by the interval only (the default).
    void setCountingPace(std::uint64_t samplesPerPump, std::chrono::nanoseconds pumpInterval);

    // Language switch: new item lists; each cell's term translated from the
    // previous language's names.
    void reloadRuleTable(const QStringList &previousTerms);
    QStringList termList() const; // the term names, as the rule cells' item list

    // Puts out the all-zero actuator word when the driver is present; the
    // exit paths (close button, window closed, signals, quit) end here.
    void writeZeroWord();
    // End the program: all-zero word, every counting loop ended, quit.
    void endProgram();

    // ---- what watches a session hooks in here --------------------------------
    // The context menus of the graph and of the rule table (empty until
    // something adds to them; an empty menu is not shown).
    QMenu *graphMenu() const { return graphMenu_; }
    QMenu *ruleTableMenu() const { return ruleTableMenu_; }
    // Where the lab's windows hook in: these menus, the window, the graph.
    MenuHost menuHost();
    bool runActive() const { return runActive_; }
    RunSession &runSession() { return *runSession_; }
    // The classic law whose option is selected; none for fuzzy.
    std::optional<ClassicLaw> selectedLaw() const override;
    // "P" ... "PID" or "fuzzy" as the options show; empty when none is chosen.
    std::string controllerName() const;
    int gainBarValue(const std::string &bar) const override; // 9 for a name that is no gain bar
    QWidget *graph() const;

    // The lab's baseline is drawn as the graph's third trace in its own
    // colour, cycle for cycle, during every run started after it was set;
    // past its last cycle only Y and E are drawn. Clearing it ends the
    // trace at once. Without a baseline the graph draws exactly as it
    // always did.

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

    // Where Auto Save writes: chosen when the window is built; the Auto Save
    // box's tooltip names it.
    const UserFolders::AutoSave &autoSaveChoice() const { return autoSave_; }
    void setAutoSaveChoice(const UserFolders::AutoSave &choice);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    friend class Form2Probe; // the tests' view of the controls
    class Host;

    void wireHandlers();
    void portFailed(const std::string &what);
    void tellPortFailure(const std::string &what);
    void bringToFront(QWidget *panel);
    QWidget *selectedControllerPanel() const;
    void selectClassic(const ClassicPanel &panel);
    void driverMissing(const std::string &cause);
    void divisorChanged(Myslider *slider, QLineEdit *box, Integer &range);
    void plotSample(double y, double e);

    Form2Controls c_;
    ExperimentState s_;
    ControlCycle cycle_;
    std::unique_ptr<Host> host_;
    PortDriver *port_ = nullptr;
    EventPump *pump_ = nullptr;
    std::unique_ptr<QtEventPump> ownPump_;
    bool ending_ = false;
    int runDepth_ = 0;
    int animationFrame_ = 0;
    bool lampLit_ = false;
    QWidget *frontPanel_ = nullptr;
    UserFolders::AutoSave autoSave_;
    QMenu *graphMenu_ = nullptr;
    QMenu *ruleTableMenu_ = nullptr;
    bool runActive_ = false;
    std::unique_ptr<Lab> lab_;
    std::unique_ptr<RunSession> runSession_;
    std::uint64_t samplesPerPump_ = 0;
    std::chrono::nanoseconds pumpInterval_ = std::chrono::microseconds(300);
};

} // namespace tervalo
