#pragma once
// The tuning window: identifies the plant of the current mode (simulation,
// emulated kit or kit) by a bump test, shows the fitted model over the
// measured response with its residual, and suggests gains for a classic law
// on that model with an overshoot the student chooses. The suggestion can be
// applied to the law's gain bars and run, the measured speed drawn over the
// predicted one.
//
//   TuningWindow::attach(form);   // "Tune…" on the graph's menu
//
// Runs go through the main window's own START and STOP: START holds its own
// event loop until STOP, so a run is begun by a deferred call (defer) and
// ended from the cycle that finishes it, again deferred.

#include "engine/ClassicController.h"
#include "engine/ControlCycle.h"
#include "engine/GainSearch.h"
#include "engine/PlantIdentification.h"
#include "engine/RunRecord.h"
#include "engine/TuningPlan.h"
#include "ui/windows/MenuHost.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QChart;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QValueAxis;

namespace tervalo {

class Lab;

class TuningWindow : public QWidget, private CycleObserver {
public:
    // Builds the (hidden) window and its entry in the graph's menu; the
    // window lives as long as the host's window.
    static TuningWindow *attach(Lab &lab, const MenuHost &host);

    // A hidden window on the lab; it watches the lab's cycles while it lives.
    explicit TuningWindow(Lab &lab, QWidget *parent = nullptr);
    ~TuningWindow() override;
    // The menu entry that opens it, retitled with the language.
    void setMenuAction(QAction *action);

    void setLanguage(bool english);

    // The actuator value whose steady speed is the reference, on the model
    // when one is fitted, else on the simulated plant's gain; within the
    // actuator's range of the mode.
    int actuatorForReference() const;
    // The tuning's defaults for the set-up the controls show, on the kit
    // or the simulated plant (see planTuning).
    TuningPlan plan(bool kit) const;
    // U1 and U2 put to both sides of actuatorForReference().
    void proposeSteps();

    void setSteps(int u1, int u2);
    // How far the speed may spread and count as steady (rpm; 0: the test's own rule).
    void setSteadyBand(int rpm);
    // Holds U1, steps to U2, records and fits (a run of the main window).
    void startBumpTest();
    // The gains for the chosen law and overshoot limit on the fitted model.
    void suggest();
    void setLaw(ClassicLaw law);
    ClassicLaw law() const;
    void setOvershootLimit(int percent);
    // The suggestion's gains onto the law's gain bars (the law selected).
    void apply();
    // Apply, then a closed-loop run of as many cycles as the prediction.
    void runSuggestion();

    bool busy() const { return phase_ != Phase::Idle; }
    const std::optional<Identification> &identification() const { return identified_; }
    const GainSuggestion &suggestion() const { return suggestion_; }
    const std::vector<double> &measuredRun() const { return runY_; }
    QString statusText() const;
    // Why a suggested gain sits at 0 or at its bar's maximum, one line each
    // (nothing when none does).
    static QStringList gainNotes(const GainSuggestion &s, bool english);
    QString modelText() const;

    // Runs a call at the next turn of the event loop (a test replaces it).
    std::function<void(std::function<void()>)> defer;

private:
    enum class Phase { Idle, Bump, ClosedRun };

    void cycleDone(const ExperimentState &state, const CycleSample &sample) override;
    void finishBump();
    void finishRun();
    bool simulation() const;
    int actuatorMin() const;
    void showIdentification();
    // The bump test the model and plots are of: "U1 → U2, time".
    QString bumpLabel() const;
    void showSuggestion();
    void showRun();
    void setStatus(const QString &s);

    Lab &lab_;
    bool english_ = true;
    Phase phase_ = Phase::Idle;
    std::unique_ptr<BumpTest> test_;
    std::optional<RunMode> restoreMode_;
    bool bumpSimulation_ = true;
    QDateTime bumpStarted_;
    std::optional<Identification> identified_;
    GainSuggestion suggestion_;
    std::vector<double> runY_;
    QString status_;

    QAction *action_ = nullptr;
    QLabel *plant_ = nullptr, *u1Label_ = nullptr, *u2Label_ = nullptr, *bandLabel_ = nullptr, *status_Label_ = nullptr;
    QLabel *model_ = nullptr, *lawLabel_ = nullptr, *overshootLabel_ = nullptr;
    QSpinBox *u1_ = nullptr, *u2_ = nullptr, *band_ = nullptr, *overshoot_ = nullptr;
    QComboBox *law_ = nullptr;
    QPushButton *bump_ = nullptr, *suggest_ = nullptr, *apply_ = nullptr, *run_ = nullptr;
    QTableWidget *table_ = nullptr;

    struct Plot {
        QChart *chart = nullptr;
        QValueAxis *x = nullptr, *y = nullptr;
        std::vector<QLineSeries *> series;
    };
    Plot fit_, residual_, run_Plot_;
    Plot makePlot(std::initializer_list<QColor> colours);
    static void setPoints(Plot &plot, std::size_t series, const std::vector<double> &x, const std::vector<double> &y);
    static void fitAxes(Plot &plot);
};

} // namespace tervalo
