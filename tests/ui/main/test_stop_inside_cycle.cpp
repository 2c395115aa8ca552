// STOP pressed at any moment inside a control cycle on the emulated kit: the
// record holds the whole cycles before it and nothing of the cycle STOP cut
// short, so its last row is a full count like the ones before. A cycle that
// ran while the STOP button was held down is cut short by it too.
#include "controls/form/ClickLabel.h"
#include "engine/RunRecord.h"
#include "plant/EventPump.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/PulseCounter.h"
#include "session/Lab.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Probe.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <numeric>

using namespace tervalo;
using namespace std::chrono_literals;

namespace {

// The mouse's left button on a control, as Qt delivers it.
void mouse(QWidget *w, QEvent::Type type, QPoint at)
{
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// The 200 ms timer on the kit's virtual clock, and STOP clicked once the
// clock has passed a given moment (checked at every pump, 100 us apart);
// with a hold, the button goes down that long before the click.
class StopPump : public EventPump {
public:
    StopPump(VirtualKitClock &clock, std::chrono::nanoseconds stopAt, std::chrono::nanoseconds hold = {},
             bool awayFirst = false)
        : clock_(clock), stopAt_(stopAt), hold_(hold), awayFirst_(awayFirst)
    { }
    void attach(Form2 *form) { form_ = form; }
    void started() { timer_ = std::make_unique<CycleTimer>(clock_); }

    void processEvents() override
    {
        if (timer_ && timer_->due())
            form_->Timer1_Timer();
        const auto t = clock_.elapsed() - startedAt_;
        ClickLabel *stop = ctl(*form_).Label33;
        if (hold_.count() > 0 && !pressed_ && t >= stopAt_ - hold_) {
            pressed_ = true;
            mouse(stop, QEvent::MouseButtonPress, {5, 5});
            if (awayFirst_) // dragged off the button: no click, the run goes on
                mouse(stop, QEvent::MouseButtonRelease, {-50, -50});
        }
        if (!stopped_ && t >= stopAt_) {
            stopped_ = true;
            if (hold_.count() > 0 && !awayFirst_)
                mouse(stop, QEvent::MouseButtonRelease, {5, 5}); // the click
            else
                form_->Label33_Click();
        }
    }
    void waitForEvents() override
    {
        clock_.advance(100us);
        processEvents();
    }
    void markStart() { startedAt_ = clock_.elapsed(); }

private:
    VirtualKitClock &clock_;
    std::chrono::nanoseconds stopAt_, hold_;
    bool awayFirst_;
    std::chrono::nanoseconds startedAt_{0};
    bool pressed_ = false;
    std::unique_ptr<CycleTimer> timer_;
    Form2 *form_ = nullptr;
    bool stopped_ = false;
};

struct StopPoint {
    const char *name;
    std::chrono::nanoseconds intoCycle; // after the 40th cycle's tick
};

class StopInsideACycle : public ::testing::TestWithParam<StopPoint> { };

// A PI run on the emulated kit at R = 1000 until the pump's STOP; its rows.
std::vector<RunRow> runUntilStop(VirtualKitClock &clock, StopPump &pump)
{
    KitEmulator kit(clock, 888);
    Form2 form(&kit, &pump);
    pump.attach(&form);
    form.showMessage = [](const QString &) {};
    form.notifyUser = [](const QString &) {};
    form.quitApplication = [] {};
    form.setCountingPace(100, PulseCounterIo::NoTimeLimit);
    form.Form_Load();
    form.selectMode(RunMode::Kit);
    if (!form.selectController("PI")) {
        ADD_FAILURE() << "no PI";
        return {};
    }
    form.setGainBar("Slider4", 100); // Kp 0.1
    form.setGainBar("Slider5", 500); // Ki 0.5
    QObject::connect(&form.lab(), &Lab::started, &form.lab(), [&] {
        pump.started();
        pump.markStart();
    });

    form.Label32_Click(); // START; returns at STOP
    return form.lab().record().rows();
}

// Settled near the reference: the last row is a full count like the five before.
void expectFullLastRow(const std::vector<RunRow> &rows)
{
    ASSERT_GE(rows.size(), 6u);
    double before = 0;
    for (std::size_t i = rows.size() - 6; i + 1 < rows.size(); ++i)
        before += rows[i].y / 5.0;
    EXPECT_NEAR(rows.back().y, before, 0.03 * before) << "a partial count ends the record";
    EXPECT_NEAR(rows.back().y, 1000.0, 60.0);
}

constexpr int wholeCycles = 40;

TEST_P(StopInsideACycle, TheRecordEndsWithTheLastWholeCycle)
{
    VirtualKitClock clock;
    StopPump pump(clock, wholeCycles * 200ms + GetParam().intoCycle);
    const std::vector<RunRow> rows = runUntilStop(clock, pump);
    ASSERT_EQ(rows.size(), std::size_t(wholeCycles));
    expectFullLastRow(rows);
}

TEST(StopHeldDown, TheCyclesThatRanWhileItWasHeldAreNotTheRuns)
{
    // down 150 ms into cycle 41, up (the click) 350 ms later: two ticks ran
    // while it was held
    VirtualKitClock clock;
    StopPump pump(clock, wholeCycles * 200ms + 500ms, 350ms);
    const std::vector<RunRow> rows = runUntilStop(clock, pump);
    ASSERT_EQ(rows.size(), std::size_t(wholeCycles));
    expectFullLastRow(rows);
}

TEST(StopHeldDown, APressDraggedOffTheButtonCutsNothing)
{
    VirtualKitClock clock;
    StopPump pump(clock, wholeCycles * 200ms + 500ms, 350ms, true);
    const std::vector<RunRow> rows = runUntilStop(clock, pump);
    EXPECT_EQ(rows.size(), std::size_t(wholeCycles + 2));
}

INSTANTIATE_TEST_SUITE_P(Moments, StopInsideACycle,
                         ::testing::Values(StopPoint{"RightAfterTheTick", 100us}, StopPoint{"AQuarterIn", 50ms},
                                           StopPoint{"HalfWay", 100ms}, StopPoint{"ThreeQuartersIn", 150ms},
                                           StopPoint{"JustBeforeTheNextTick", 199900us}),
                         [](const ::testing::TestParamInfo<StopPoint> &info) { return std::string(info.param.name); });

} // namespace
