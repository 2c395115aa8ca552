// The last words to the kit on every way out that still runs code: the
// all-zero word (data 0, control 11), then the port released. Each way out
// runs in a child process on the in-memory port; the child reports every
// port write and the release on stderr, so the parent sees what was said.

#include "plant/MemoryPort.h"
#include "ui/ExitPaths.h"
#include "ui/Form2.h"
#include "ui/OptionButton.h"
#include "ui/ScrollBar.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

using tervalo::ExitPaths;
using tervalo::Form2;

// Every write goes to stderr as "w<port>:<value> " once the kit is in use.
class TracingPort : public tervalo::MemoryPort {
public:
    void DlPortWritePortUchar(std::int32_t port, std::uint8_t value) override
    {
        MemoryPort::DlPortWritePortUchar(port, value);
        if (tracing)
            std::fprintf(stderr, "w%d:%d ", static_cast<int>(port), static_cast<int>(value));
    }
    bool tracing = false;
};

// A window driving the kit at a word other than zero, with the exit paths
// armed as the program arms them; then the way out under test.
template <typename WayOut>
void driveThenLeave(WayOut wayOut)
{
    TracingPort port;
    Form2 window(&port);
    window.showMessage = [](const QString &) {};
    ExitPaths exits(window, [] { std::fputs("released\n", stderr); });
    window.Form_Load();
    window.Slider1->setValue(2000); // open loop: the student's actuator value
    port.tracing = true;
    std::fputs("running ", stderr);
    wayOut();
}

[[noreturn]] void throwLost()
{
    throw std::runtime_error("display connection lost");
}

// An exception that nothing catches: it leaves a function that may not throw.
void uncaught() noexcept
{
    static volatile bool always = true;
    if (always)
        throwLost();
}

const char *const kLastWords = "running w888:0 w890:11 released";

class ExitPathsDeath : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ExitPathsDeath, ExitCalledFromLibraryCodeStillStopsTheKit)
{
    EXPECT_EXIT(driveThenLeave([] { std::exit(1); }), ::testing::ExitedWithCode(1), kLastWords);
}

TEST_F(ExitPathsDeath, ExitFromInsideTheEventLoopLikeALostDisplay)
{
    // The display plugin ends the process with exit() while it handles the
    // display's events.
    EXPECT_EXIT(driveThenLeave([] {
                    QTimer::singleShot(0, [] { std::exit(1); });
                    QCoreApplication::exec();
                }),
                ::testing::ExitedWithCode(1), kLastWords);
}

TEST_F(ExitPathsDeath, UncaughtExceptionStillStopsTheKit)
{
    EXPECT_EXIT(driveThenLeave([] { uncaught(); }), ::testing::KilledBySignal(SIGABRT), kLastWords);
}

TEST(ExitPaths, LastWordsAreSaidOnceWhicheverWayComesFirst)
{
    int said = 0;
    {
        ExitPaths exits([&said] { ++said; });
        EXPECT_FALSE(exits.finished());
        exits.finish();
        exits.finish();
        EXPECT_TRUE(exits.finished());
    }
    EXPECT_EQ(said, 1);
    {
        ExitPaths exits([&said] { ++said; });
    }
    EXPECT_EQ(said, 2) << "the normal end of scope says them";
}

TEST(ExitPaths, WindowWithoutTheDriverWritesNothingButReleases)
{
    tervalo::MemoryPort port;
    port.failAfter(0);
    Form2 window(&port);
    window.showMessage = [](const QString &) {};
    std::vector<std::string> reports;
    window.reportPortFailure = [&reports](const std::string &l) { reports.push_back(l); };
    window.Form_Load(); // the driver message: no kit
    reports.clear();
    int released = 0;
    {
        ExitPaths exits(window, [&released] { ++released; });
    }
    EXPECT_EQ(released, 1);
    EXPECT_TRUE(reports.empty()) << "no port access is tried without the driver: " << reports.front();
}

} // namespace
