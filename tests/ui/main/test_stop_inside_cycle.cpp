// STOP pressed at any moment inside a control cycle on the emulated kit: the
// record holds the whole cycles before it and nothing of the cycle STOP cut
// short, so its last row is a full count like the ones before.
#include "engine/RunRecord.h"
#include "plant/EventPump.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/PulseCounter.h"
#include "session/Lab.h"
#include "ui/main/Form2.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <numeric>

using namespace tervalo;
using namespace std::chrono_literals;

namespace {

// The 200 ms timer on the kit's virtual clock, and STOP pressed once the
// clock has passed a given moment (checked at every pump, 100 us apart).
class StopPump : public EventPump {
public:
    StopPump(VirtualKitClock &clock, std::chrono::nanoseconds stopAt) : clock_(clock), stopAt_(stopAt) { }
    void attach(Form2 *form) { form_ = form; }
    void started() { timer_ = std::make_unique<CycleTimer>(clock_); }

    void processEvents() override
    {
        if (timer_ && timer_->due())
            form_->Timer1_Timer();
        if (!stopped_ && clock_.elapsed() - startedAt_ >= stopAt_) {
            stopped_ = true;
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
    std::chrono::nanoseconds stopAt_;
    std::chrono::nanoseconds startedAt_{0};
    std::unique_ptr<CycleTimer> timer_;
    Form2 *form_ = nullptr;
    bool stopped_ = false;
};

struct StopPoint {
    const char *name;
    std::chrono::nanoseconds intoCycle; // after the 40th cycle's tick
};

class StopInsideACycle : public ::testing::TestWithParam<StopPoint> { };

TEST_P(StopInsideACycle, TheRecordEndsWithTheLastWholeCycle)
{
    constexpr int wholeCycles = 40;
    VirtualKitClock clock;
    KitEmulator kit(clock, 888);
    StopPump pump(clock, wholeCycles * 200ms + GetParam().intoCycle);
    Form2 form(&kit, &pump);
    pump.attach(&form);
    form.showMessage = [](const QString &) {};
    form.notifyUser = [](const QString &) {};
    form.quitApplication = [] {};
    form.setCountingPace(100, PulseCounterIo::NoTimeLimit);
    form.Form_Load();
    form.selectMode(RunMode::Kit);
    ASSERT_TRUE(form.selectController("PI"));
    form.setGainBar("Slider4", 100); // Kp 0.1
    form.setGainBar("Slider5", 500); // Ki 0.5
    QObject::connect(&form.lab(), &Lab::started, &form.lab(), [&] {
        pump.started();
        pump.markStart();
    });

    form.Label32_Click(); // START; returns at STOP

    const std::vector<RunRow> &rows = form.lab().record().rows();
    ASSERT_EQ(rows.size(), std::size_t(wholeCycles));
    // settled near the reference: the last row is a full count like the five before
    double before = 0;
    for (std::size_t i = rows.size() - 6; i + 1 < rows.size(); ++i)
        before += rows[i].y / 5.0;
    EXPECT_NEAR(rows.back().y, before, 0.03 * before) << "a partial count ends the record";
    EXPECT_NEAR(rows.back().y, 1000.0, 60.0);
}

INSTANTIATE_TEST_SUITE_P(Moments, StopInsideACycle,
                         ::testing::Values(StopPoint{"RightAfterTheTick", 100us}, StopPoint{"AQuarterIn", 50ms},
                                           StopPoint{"HalfWay", 100ms}, StopPoint{"ThreeQuartersIn", 150ms},
                                           StopPoint{"JustBeforeTheNextTick", 199900us}),
                         [](const ::testing::TestParamInfo<StopPoint> &info) { return std::string(info.param.name); });

} // namespace
