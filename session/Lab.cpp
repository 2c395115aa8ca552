#include "session/Lab.h"

#include "plant/KitEmulator.h"
#include "store/ClassForwarder.h"
#include "store/RunLibraryWriter.h"

#include <algorithm>
#include <cstdio>

namespace tervalo {

// The lab's one watcher on the cycle: the record, then the others, then the
// test program, whose events belong to the next cycle.
class Lab::Cycles : public CycleObserver {
public:
    explicit Cycles(Lab &lab) : lab_(lab) { }
    void cycleDone(const ExperimentState &state, const CycleSample &sample) override
    {
        lab_.recorder_.cycleDone(state, sample);
        if (lab_.recorder_.record().truncated() && !lab_.fullTold_)
            lab_.recordFull();
        for (std::size_t i = 0; i < watchers.size(); ++i)
            watchers[i]->cycleDone(state, sample);
        lab_.runner_.cycleDone(state, sample);
    }
    std::vector<CycleObserver *> watchers;

private:
    Lab &lab_;
};

Lab::Lab(LabControls &controls, ControlCycle &cycle, bool english, std::size_t recordCapacity)
    : controls_(controls), cycle_(cycle), recorder_(recordCapacity), runner_(*this),
      cycles_(std::make_unique<Cycles>(*this)), english_(english)
{
    cycle_.addObserver(cycles_.get());
}

Lab::~Lab()
{
    cycle_.removeObserver(cycles_.get());
    writer_.reset(); // finishes the run being written
    forwarder_.reset();
}

void Lab::watchCycles(CycleObserver *observer)
{
    cycles_->watchers.push_back(observer);
}

void Lab::unwatchCycles(CycleObserver *observer)
{
    auto &w = cycles_->watchers;
    w.erase(std::remove(w.begin(), w.end(), observer), w.end());
}

// ---- the run -------------------------------------------------------------

void Lab::recordFull()
{
    // once a run, and not on the cycle: the notice and the line come from
    // the event loop
    fullTold_ = true;
    const QString text = tr("This run has reached the record's bound of %1 rows (%2 hours): the cycles from now on "
                            "are not recorded, and its figures and files end there.")
                             .arg(recorder_.record().capacity())
                             .arg(recorder_.record().capacity() / 18000.0);
    const QString turkish = QStringLiteral("Bu deney kaydın %1 satırlık sınırına ulaştı (%2 saat): bundan sonraki "
                                           "çevrimler kaydedilmiyor; ölçütleri ve dosyaları burada biter.")
                                .arg(recorder_.record().capacity())
                                .arg(recorder_.record().capacity() / 18000.0);
    QMetaObject::invokeMethod(
        this,
        [this, text, turkish] {
            if (reportLine)
                reportLine(text);
            notify(english_ ? text : turkish);
        },
        Qt::QueuedConnection);
}

void Lab::reportStart()
{
    active_ = true;
    fullTold_ = false;
    stopPressedAt_.reset();
    runBaseline_ = baseline_;
    recorder_.start(controls_.settings());
    emit started();
    runner_.started();
}

void Lab::reportStopPressed()
{
    if (active_)
        stopPressedAt_ = recorder_.record().size();
}

void Lab::reportStop()
{
    active_ = false;
    recorder_.stop();
    if (stopPressedAt_)
        recorder_.keepFirst(*stopPressedAt_);
    stopPressedAt_.reset();
    const RunRecord &run = recorder_.record();
    if (!run.empty()) {
        if (writer_) {
            writer_->submit(run, runContext()); // a copy goes to the writer's thread
        } else if (!noLibraryTold_ && !ending_) {
            noLibraryTold_ = true;
            emit noLibrary(noLibraryReason_);
        }
    }
    emit stopped();
    runner_.stopped(); // the stop handled: the start reference back
}

RunContext Lab::runContext()
{
    RunContext c = context_;
    c.note = runNote_;
    runNote_.clear();
    if (runBumpTest_) {
        c.kind = RunKind::BumpTest;
        c.bump = runBump_;
    }
    runBumpTest_ = false;
    runBump_.reset();
    return c;
}

void Lab::reportLoad(int from, int to)
{
    recorder_.loadMoved(from, to);
    emit loadMoved(from, to);
}

void Lab::reportSetup()
{
    emit setupChanged();
}

void Lab::reportLanguage(bool english)
{
    english_ = english;
    emit languageChanged(english);
}

void Lab::notify(const QString &text)
{
    if (!ending_)
        emit notice(text);
}

// ---- the baseline ------------------------------------------------------------

void Lab::setBaseline(std::vector<double> yByCycle, const QString &name)
{
    if (yByCycle.empty()) {
        clearBaseline();
        return;
    }
    baseline_ = std::make_shared<const std::vector<double>>(std::move(yByCycle));
    baselineName_ = name;
    emit baselineChanged();
}

void Lab::setBaseline(const RunRecord &run, const QString &name)
{
    std::vector<double> y;
    for (const RunRow &row : run.rows()) {
        if (row.cycle < 1)
            continue;
        const auto index = static_cast<std::size_t>(row.cycle - 1);
        if (index >= y.size())
            y.resize(index + 1, 0.0);
        y[index] = row.y;
    }
    setBaseline(std::move(y), name);
}

void Lab::clearBaseline()
{
    baseline_.reset();
    runBaseline_.reset();
    baselineName_.clear();
    emit baselineChanged();
}

// ---- the run library -----------------------------------------------------------

void Lab::openLibrary(const QString &path, int busyTimeoutMs, const QString &reason)
{
    forwarder_.reset();
    writer_.reset();
    libraryPath_ = path;
    noLibraryReason_ = reason;
    noLibraryTold_ = false;
    if (path.isEmpty())
        return;
    RunLibraryWriter::Callbacks callbacks;
    callbacks.failed = [this](const QString &message) { emit storeFailed(message); };
    callbacks.stored = [this](std::int64_t id) {
        wakeForwarder();
        emit runStored(id);
    };
    writer_ = std::make_unique<RunLibraryWriter>(path, this, std::move(callbacks), busyTimeoutMs);
    restartForwarder();
}

// ---- the class server -------------------------------------------------------

void Lab::useClassServer(std::optional<ClassServerAddress> server)
{
    classServer_ = std::move(server);
    restartForwarder();
}

void Lab::restartForwarder()
{
    forwarder_.reset();
    if (!classServer_ || libraryPath_.isEmpty())
        return;
    ClassForwarder::Callbacks callbacks;
    callbacks.forwarded = [this](std::int64_t id, ForwardState state, const QString &reason) {
        emit runForwarded(id, state, reason);
    };
    callbacks.failed = [this](const QString &message) { emit classServerFailed(message); };
    callbacks.recovered = [this] { emit classServerRecovered(); };
    forwarder_ = std::make_unique<ClassForwarder>(libraryPath_, *classServer_, QString(), this, std::move(callbacks));
}

void Lab::wakeForwarder()
{
    if (forwarder_)
        forwarder_->wake();
}

std::size_t Lab::unsaved() const
{
    return writer_ ? writer_->pending() : 0;
}

void Lab::retrySaving()
{
    if (writer_)
        writer_->retry();
}

void Lab::waitForLibrary()
{
    if (writer_)
        writer_->waitIdle();
}

void Lab::finish()
{
    if (finished_)
        return;
    finished_ = true;
    const RunRecord &run = recorder_.record();
    const bool going = run.running() && !run.empty(); // ended without STOP
    if (!writer_) {
        if (going)
            std::fprintf(stderr, "tervalo: the run in progress could not be stored: no run library (%s)\n",
                         noLibraryReason_.toLocal8Bit().constData());
        return;
    }
    if (going)
        writer_->submit(run, runContext());
    else
        writer_->retry();
    writer_->waitIdle();
    if (const std::size_t left = writer_->pending())
        std::fprintf(stderr, "tervalo: %zu run(s) could not be stored in the run library %s\n", left,
                     libraryPath_.toLocal8Bit().constData());
}

void usePlant(Lab &lab, PortDriver *port)
{
    auto *kit = dynamic_cast<KitEmulator *>(port);
    RunContext context = lab.context();
    context.emulatedKit = kit != nullptr;
    lab.setContext(context);
    if (kit) {
        lab.testProgram().kitLoad = [kit](int level) { kit->setLoadLevel(level); };
        lab.setKitSpeed([kit](int u) { return kit->steadySpeed(u); });
    } else {
        lab.testProgram().kitLoad = nullptr;
        lab.setKitSpeed(nullptr);
    }
}

} // namespace tervalo
