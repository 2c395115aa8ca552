#include "tools/SimSession.h"

#include "engine/ClassicPanels.h"
#include "plant/PulseCounter.h"
#include "session/Lab.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

namespace tervalo::sim {

namespace {
// Samples the counting loop takes between two pumps on the virtual clock:
// 100 us of kit time, so a cycle falls due at most 0.1 ms late.
constexpr std::uint64_t kSamplesPerPump = 100;
constexpr std::chrono::nanoseconds kCyclePeriod = std::chrono::milliseconds(200);
} // namespace

class Session::Pump : public EventPump {
public:
    explicit Pump(VirtualKitClock *clock) : clock_(clock) { }

    void attach(Form2 *form) { form_ = form; }
    void setCycle(Cycle c) { cycle_ = std::move(c); }
    void started(bool on)
    {
        if (on && clock_)
            timer_.emplace(*clock_, kCyclePeriod);
        else
            timer_.reset();
    }

    void processEvents() override
    {
        if (!clock_ || (timer_ && timer_->due()))
            next();
    }
    // Only when nothing is sampled: on the kit that is a lost port, and the
    // period passes without reads.
    void waitForEvents() override
    {
        if (clock_)
            clock_->advance(kCyclePeriod);
        if (!clock_ || (timer_ && timer_->due()))
            next();
    }

private:
    void next()
    {
        if (!cycle_ || !cycle_())
            form_->Label33_Click(); // STOP
    }

    VirtualKitClock *clock_;
    Form2 *form_ = nullptr;
    Cycle cycle_;
    std::optional<CycleTimer> timer_;
};

Session::Session(bool kit)
{
    PortDriver *port = nullptr;
    if (kit) {
        emulator_ = std::make_unique<KitEmulator>(clock_, 888);
        port = emulator_.get();
    } else {
        memory_ = std::make_unique<MemoryPort>(888);
        port = memory_.get();
    }
    pump_ = std::make_unique<Pump>(kit ? &clock_ : nullptr);
    form_ = std::make_unique<Form2>(port, pump_.get());
    pump_->attach(form_.get());
    Form2 &form = *form_;
    form.showMessage = [](const QString &) {};
    form.notifyUser = [](const QString &t) { std::fprintf(stderr, "tervalo-sim: %s\n", t.toLocal8Bit().constData()); };
    form.showAbout = [] {};
    form.quitApplication = [] {};
    if (kit) {
        // Never cut short by the machine's clock, whatever the machine's speed.
        form.setCountingPace(kSamplesPerPump, PulseCounterIo::NoTimeLimit);
        QObject::connect(&form.lab(), &Lab::started, &form.lab(), [this] { pump_->started(true); });
        QObject::connect(&form.lab(), &Lab::stopped, &form.lab(), [this] { pump_->started(false); });
    }
    usePlant(form.lab(), port);
    form.lab().reportLine = nullptr; // the notice is the line on stderr
    form.Form_Load();
}

Session::~Session() = default;

void Session::selectLoop(const std::string &controller)
{
    Form2 &form = *form_;
    if (controller == "open") {
        if (kit()) {
            form.selectMode(RunMode::OpenLoop);
            return;
        }
        form.selectMode(RunMode::Simulation);
        form.selectController("P");
        form.setGainBar(ClassicPanels::of(ClassicLaw::P).sliders[0].bar, 0);
        return;
    }
    form.selectMode(kit() ? RunMode::Kit : RunMode::Simulation);
    form.selectController(controller);
}

void Session::run(Cycle cycle)
{
    pump_->setCycle(std::move(cycle));
    form_->Label32_Click(); // START: runs until the cycle's STOP
    pump_->setCycle({});
    // the notices the run left for the event loop (on stderr)
    QCoreApplication::processEvents();
}

} // namespace tervalo::sim
