#include "plant/KitCheck.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/MemoryPort.h"
#include "plant/PpdevPort.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

using namespace tervalo;
using namespace std::chrono_literals;

namespace {

// A memory port whose status reads take port time on a virtual clock.
class TimedPort : public PortDriver {
public:
    TimedPort(MemoryPort &port, KitClock &clock) : port_(port), clock_(clock) { }
    void DlPortWritePortUchar(std::int32_t a, std::uint8_t v) override { port_.DlPortWritePortUchar(a, v); }
    std::uint8_t DlPortReadPortUchar(std::int32_t a) override
    {
        if (a == port_.base() + 1)
            clock_.statusRead();
        return port_.DlPortReadPortUchar(a);
    }

private:
    MemoryPort &port_;
    KitClock &clock_;
};

struct Outcome {
    bool passed;
    std::string text;
};

Outcome check(PortDriver *port, KitClock &clock, KitCheckOptions o, const std::string &openError = "")
{
    std::ostringstream out;
    const bool passed = KitCheck::run(port, openError, clock, o, out);
    return {passed, out.str()};
}

KitCheckOptions named(const std::string &device)
{
    KitCheckOptions o;
    o.device = device;
    return o;
}

} // namespace

TEST(KitCheck, EmulatedKitPassesAndIsLeftWithTheZeroWord)
{
    VirtualKitClock clock;
    KitEmulator kit(clock);
    const Outcome r = check(&kit, clock, named("emulator"));
    EXPECT_TRUE(r.passed) << r.text;
    EXPECT_EQ(r.text,
              "ok   device emulator opened and claimed\n"
              "ok   status reads: 1000000 per second (at least 20000 needed)\n"
              "ok   status changes with the motor at rest: 0 in 1 s (at most 2 allowed)\n"
              "ok   all-zero word written\n"
              "kit check passed\n");
    EXPECT_EQ(kit.actuatorWord(), 0);
}

TEST(KitCheck, SpinMeasuresTheSpeedOverTwoSeconds)
{
    VirtualKitClock clock;
    KitEmulator kit(clock);
    KitCheckOptions o = named("emulator");
    o.spin = 2000;
    const Outcome r = check(&kit, clock, o);
    EXPECT_TRUE(r.passed) << r.text;
    const std::string spin = "ok   speed at actuator 2000: ";
    const std::size_t at = r.text.find(spin);
    ASSERT_NE(at, std::string::npos) << r.text;
    // 1.5 s is five time constants: within 1 % of the steady 1350 rpm
    EXPECT_NEAR(std::stod(r.text.substr(at + spin.size())), 1350, 13.5) << r.text;
    EXPECT_NE(r.text.find("changes in 2 s, after 1.5 s to settle)\nok   all-zero word written\n"), std::string::npos)
        << r.text;
    EXPECT_EQ(kit.actuatorWord(), 0);

    o.spin = 1000; // below the dead zone
    const Outcome still = check(&kit, clock, o);
    EXPECT_FALSE(still.passed);
    EXPECT_NE(still.text.find("FAIL speed at actuator 1000: 0 rpm (0 changes"), std::string::npos) << still.text;
    EXPECT_NE(still.text.find("the motor did not turn\nok   all-zero word written\nkit check failed\n"),
              std::string::npos)
        << still.text;
}

TEST(KitCheck, DeviceThatDoesNotOpenFailsWithTheReason)
{
    const std::string file =
        std::string(std::getenv("TERVALO_TEST_TMP") ? std::getenv("TERVALO_TEST_TMP") : "/tmp") + "/not-a-port.txt";
    std::ofstream(file) << "plain file\n";
    struct Case {
        std::string device, reason;
    };
    for (const Case &c :
         {Case{"/nonexistent/parport0", "No such file or directory"}, Case{file, "(not a parallel port device)"}}) {
        PpdevPort port(c.device);
        ASSERT_FALSE(port.open());
        VirtualKitClock clock;
        const Outcome r = check(nullptr, clock, named(c.device), port.lastError());
        EXPECT_FALSE(r.passed);
        EXPECT_EQ(r.text.rfind("FAIL device " + c.device + ": ", 0), 0u) << r.text;
        EXPECT_NE(r.text.find(c.reason), std::string::npos) << r.text;
        EXPECT_NE(r.text.find("\nkit check failed\n"), std::string::npos) << r.text;
        EXPECT_EQ(clock.statusReads(), 0u);
    }
    std::remove(file.c_str());
}

TEST(KitCheck, SlowNoisyOrVanishingPortFails)
{
    VirtualKitClock slow(100us);
    MemoryPort memory;
    TimedPort port(memory, slow);
    Outcome r = check(&port, slow, named("slow"));
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.text.find("FAIL status reads: 10000 per second"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("ok   status changes with the motor at rest: 0"), std::string::npos) << r.text;

    VirtualKitClock clock;
    TimedPort noisy(memory, clock);
    memory.setStatusScript({0x7F, 0x7F, 0x7F, 0x77}, true);
    r = check(&noisy, clock, named("noisy"));
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.text.find("FAIL status changes with the motor at rest: 49999"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("ok   all-zero word written"), std::string::npos) << r.text;
    EXPECT_EQ(memory.data(), 0);
    EXPECT_EQ(memory.control(), 11);

    memory.setStatusScript({0x7F}, false);
    memory.failAfter(100);
    r = check(&noisy, clock, named("gone"));
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.text.find("FAIL port access: memory port: device gone\n"
                          "FAIL all-zero word: memory port: device gone\nkit check failed\n"),
              std::string::npos)
        << r.text;
}

TEST(KitCheck, InterruptionEndsEveryStepAtOnceWithTheZeroWord)
{
    // rest count 0..1 s, settling 1..2.5 s, spin count 2.5..4.5 s
    struct Case {
        std::chrono::milliseconds at;
        const char *lastStepSeen; // the line just before the interruption
    };
    for (const Case &c : {Case{0ms, "opened and claimed\n"}, Case{500ms, "opened and claimed\n"},
                          Case{1800ms, "(at most 2 allowed)\n"}, Case{3500ms, "(at most 2 allowed)\n"}}) {
        SCOPED_TRACE(c.at.count());
        VirtualKitClock clock;
        MemoryPort memory;
        TimedPort port(memory, clock);
        KitCheckOptions o = named("memory");
        o.spin = 2000;
        const std::int64_t at = std::chrono::nanoseconds(c.at).count();
        o.interruption = [&clock, at]() -> std::string { return clock.now() >= at ? "SIGTERM" : ""; };
        const Outcome r = check(&port, clock, o);
        EXPECT_FALSE(r.passed);
        const std::string end =
            std::string(c.lastStepSeen) + "FAIL interrupted by SIGTERM\nok   all-zero word written\nkit check failed\n";
        ASSERT_GE(r.text.size(), end.size()) << r.text;
        EXPECT_EQ(r.text.substr(r.text.size() - end.size()), end) << r.text;
        EXPECT_LT(clock.now() - at, std::chrono::nanoseconds(25ms).count()) << "the step went on";
        EXPECT_EQ(memory.data(), 0);
        EXPECT_EQ(memory.control(), 11);
    }
}
