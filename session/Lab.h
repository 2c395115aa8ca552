#pragma once
// The lab: what every window, the simulator and a remote driver share about
// the session at the PC. It owns the run recorder and the current record,
// the baseline, the test program, the language, the run library's writer and
// the notices the user must see; it sees the window only through
// LabControls.
//
// The window reports what happened at the points where it happens (START,
// STOP, the load released, a set-up change, the language switched); the lab
// first does its own part in a fixed order (the record is started before the
// test program's first events; the record is closed, and handed to the
// library, before anyone hears of STOP), then tells everyone through its
// signals. No listener relies on another having run first. After everyone
// has heard of STOP, a reference the test program stepped goes back to the
// run's start value (see TestProgramRunner).
//
//   Lab lab(window, window.cycle(), window.english());
//   connect(&lab, &Lab::stopped, ...);

#include "engine/RunRecorder.h"
#include "session/LabControls.h"
#include "session/TestProgramRunner.h"
#include "store/ClassServer.h"
#include "store/RunLibrary.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tervalo {

class ClassForwarder;
class PortDriver;
class RunLibraryWriter;

class Lab : public QObject {
    Q_OBJECT
public:
    // recordCapacity: the rows a run keeps (four hours of cycles unless a
    // test wants fewer)
    Lab(LabControls &controls, ControlCycle &cycle, bool english,
        std::size_t recordCapacity = RunRecord::kDefaultCapacity);
    ~Lab() override;
    Lab(const Lab &) = delete;
    Lab &operator=(const Lab &) = delete;

    LabControls &controls() { return controls_; }
    const LabControls &controls() const { return controls_; }

    // ---- the run ------------------------------------------------------------
    const RunRecord &record() const { return recorder_.record(); }
    RunRecorder &recorder() { return recorder_; }
    bool runActive() const { return active_; }
    // A watcher of every control cycle, called after the record took the
    // cycle's row and before the test program applies the next cycle's
    // events. Remove it before it goes.
    void watchCycles(CycleObserver *observer);
    void unwatchCycles(CycleObserver *observer);

    // ---- the test program ------------------------------------------------------
    TestProgramRunner &testProgram() { return runner_; }

    // ---- the baseline ------------------------------------------------------------
    // A stored run's Y by cycle (index 0: cycle 1), drawn under every run
    // started after it was set; an empty list clears it.
    void setBaseline(std::vector<double> yByCycle, const QString &name = QString());
    // A stored run's output as the baseline (a cycle it has no row for reads 0).
    void setBaseline(const RunRecord &run, const QString &name);
    void clearBaseline();
    bool hasBaseline() const { return static_cast<bool>(baseline_); }
    const QString &baselineName() const { return baselineName_; }
    std::size_t baselineCycles() const { return baseline_ ? baseline_->size() : 0; }
    // The baseline the run in progress draws (taken at its START; cleared
    // at once by clearBaseline()).
    const std::vector<double> *runBaseline() const { return runBaseline_.get(); }

    // ---- the plant ----------------------------------------------------------------
    // The kit's steady speed at an actuator value when it is known (the
    // emulated kit); empty otherwise.
    const std::function<double(int)> &kitSpeed() const { return kitSpeed_; }
    void setKitSpeed(std::function<double(int)> speed) { kitSpeed_ = std::move(speed); }

    // ---- the language -------------------------------------------------------------
    bool english() const { return english_; }

    // ---- the run library -----------------------------------------------------------
    // Every run that completed a cycle is handed to a writer thread at STOP.
    // path empty: no library (reason is told once, at the first run).
    void openLibrary(const QString &path, int busyTimeoutMs = RunLibrary::kDefaultBusyTimeoutMs,
                     const QString &reason = QString());
    bool hasLibrary() const { return static_cast<bool>(writer_); }
    const QString &libraryPath() const { return libraryPath_; }
    // What is stored with every run from now on besides its record.
    RunContext context() const { return context_; }
    void setContext(const RunContext &context) { context_ = context; }
    // The note the run in progress (between runs: the next one) is stored
    // with; used once.
    void setRunNote(const QString &note) { runNote_ = note; }
    // The run in progress (between runs: the next one) is a bump test, with
    // the model fitted on it when there is one; used once.
    void setRunBumpTest(std::optional<BumpTestResult> result = std::nullopt)
    {
        runBumpTest_ = true;
        runBump_ = std::move(result);
    }
    // Runs kept in memory that are not in the library yet; trying them again.
    std::size_t unsaved() const;
    void retrySaving();
    // Waits until the writer has tried every run handed to it.
    void waitForLibrary();
    // The program ends: a run still going is handed over too and the writer
    // finishes before this returns; what could not be stored is told on
    // stderr. Once, from whichever way out comes first.
    void finish();

    // ---- the class server ------------------------------------------------------
    // Every run the library holds goes on to the class server, from a thread
    // of its own (see ClassForwarder): at once, after each run stored and
    // after a rename or note (wakeForwarder). Nothing: no forwarding.
    void useClassServer(std::optional<ClassServerAddress> server);
    bool forwarding() const { return static_cast<bool>(forwarder_); }
    const std::optional<ClassServerAddress> &classServer() const { return classServer_; }
    void wakeForwarder();

    // ---- notices ----------------------------------------------------------------
    // Where a line for the log goes (stderr by default; nothing: none).
    std::function<void(const QString &line)> reportLine = [](const QString &line) {
        std::fprintf(stderr, "tervalo: %s\n", line.toLocal8Bit().constData());
    };
    // A notice the user must see; it must not hold up the control cycle.
    void notify(const QString &text);

    // ---- what the window reports ---------------------------------------------------
    void reportStart(); // START, before the first cycle
    void reportStop();  // STOP ended the run
    // The STOP button went down (a click on it comes at its release) and
    // came up again, clicked or not: the cycles that ran while it was held
    // were cut short by the STOP that followed and are not the run's.
    void reportStopPressed();
    void reportStopReleased() { stopPressedAt_.reset(); }
    void reportLoad(int from, int to); // the load slider released at a new value
    void reportSetup();                // a rule cell, a divisor or the reference changed
    void reportLanguage(bool english); // after the language switch
    // The program is ending: notices are no longer shown.
    void reportEnding() { ending_ = true; }

signals:
    void started();
    void stopped(); // the record is closed and handed to the library
    void loadMoved(int from, int to);
    void setupChanged();
    void baselineChanged();
    void languageChanged(bool english);
    void notice(const QString &text);
    // the library: a run stored, or the store failing (once a failure streak)
    void runStored(qint64 id);
    void storeFailed(const QString &message);
    // a run to store and no library to store it in (once; reason: why none)
    void noLibrary(const QString &reason);
    // the class server: a run's new state; runs kept local (once a failure
    // streak); the server reached again
    void runForwarded(qint64 id, tervalo::ForwardState state, const QString &reason);
    void classServerFailed(const QString &message);
    void classServerRecovered();

private:
    class Cycles;
    RunContext runContext(); // the context with the run's note, taken once

    LabControls &controls_;
    ControlCycle &cycle_;
    RunRecorder recorder_;
    TestProgramRunner runner_;
    std::unique_ptr<Cycles> cycles_;
    bool active_ = false;
    std::optional<std::size_t> stopPressedAt_; // the record's rows when STOP went down
    bool english_ = true;
    bool ending_ = false;
    bool fullTold_ = false; // the record's bound reached, told
    void recordFull();
    std::shared_ptr<const std::vector<double>> baseline_;
    std::shared_ptr<const std::vector<double>> runBaseline_;
    QString baselineName_;

    QString libraryPath_;
    QString noLibraryReason_;
    bool noLibraryTold_ = false;
    bool finished_ = false;
    RunContext context_;
    QString runNote_;
    bool runBumpTest_ = false;
    std::optional<BumpTestResult> runBump_;
    std::function<double(int)> kitSpeed_;
    std::unique_ptr<RunLibraryWriter> writer_;
    std::optional<ClassServerAddress> classServer_;
    std::unique_ptr<ClassForwarder> forwarder_;
    void restartForwarder();
};

// The plant under the lab, as the program and the simulator both set it up:
// on the emulated kit a test program's load change is the motor's load
// torque, and the runs are stored as the emulated kit's.
void usePlant(Lab &lab, PortDriver *port);

} // namespace tervalo
