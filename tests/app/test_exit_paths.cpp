// The last words to the kit on every way out that still runs code: the
// all-zero word (data 0, control 11), then the port released. Each way out
// runs in a child process on the in-memory port; the child reports every
// port write and the release on stderr, so the parent sees what was said.

#include "app/ExitPaths.h"
#include "controls/form/OptionButton.h"
#include "controls/form/ScrollBar.h"
#include "plant/MemoryPort.h"
#include "store/RunLibrary.h"
#include "ui/main/Form2.h"
#include "ui/main/LibrarySession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <sys/types.h>

namespace {

using tervalo::ExitPaths;
using tervalo::Form2;

// Every write goes to stderr as a line "@<port>=<value>" once the kit is in
// use.
class TracingPort : public tervalo::MemoryPort {
public:
    void DlPortWritePortUchar(std::int32_t port, std::uint8_t value) override
    {
        MemoryPort::DlPortWritePortUchar(port, value);
        if (tracing)
            std::fprintf(stderr, "@%d=%d\n", static_cast<int>(port), static_cast<int>(value));
    }
    bool tracing = false;
};

// A window driving the kit at a word other than zero, with the exit paths
// armed as the program arms them; then the way out under test.
template <typename WayOut> void driveThenLeave(WayOut wayOut)
{
    TracingPort port;
    Form2 window(&port);
    window.showMessage = [](const QString &) {};
    ExitPaths exits(window, [] { std::fputs("@released\n", stderr); });
    window.Form_Load();
    window.setActuator(2000); // open loop: the student's actuator value
    port.tracing = true;
    std::fputs("running\n", stderr);
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

// Nothing but the last words once the kit was running (whatever else the
// child says in between): data 0, control 11, the port released.
const char *const kLastWords = "running\n[^@]*@888=0\n@890=11\n@released\n";

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

// A display server of the test's own, taken away while the child runs on it.
class LostDisplay : public ExitPathsDeath {
protected:
    void SetUp() override
    {
        ExitPathsDeath::SetUp();
        // The death test's child runs this fixture again: it is already on
        // the parent's display and must not start one of its own.
        if (qEnvironmentVariableIsSet("TERVALO_TEST_XVFB_PID"))
            return;
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            GTEST_SKIP() << "no Xvfb";
        // Xvfb picks a free display itself and tells its number (two tests
        // looking for a free one at once would otherwise share it).
        server.start(
            xvfb,
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        ASSERT_TRUE(server.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        QByteArray told;
        while (!told.contains('\n') && server.state() == QProcess::Running && clock.elapsed() < 10000)
            if (server.waitForReadyRead(100))
                told += server.readAllStandardOutput();
        ASSERT_TRUE(told.contains('\n')) << "Xvfb did not start";
        display = QStringLiteral(":") + QString::fromLatin1(told.trimmed());
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + display.mid(1);
        ASSERT_TRUE(QFileInfo::exists(socket)) << "Xvfb did not start";
        // The child starts on that display and is told whom to take away.
        saved = qgetenv("QT_QPA_PLATFORM");
        savedAsan = qgetenv("ASAN_OPTIONS");
        qputenv("QT_QPA_PLATFORM", "xcb");
        // The system's keyboard-map library reads a string without its end
        // when it connects; that is none of the kit's business.
        qputenv("ASAN_OPTIONS", savedAsan + ":strict_string_checks=0");
        qputenv("DISPLAY", display.toLocal8Bit());
        qputenv("TERVALO_TEST_XVFB_PID", QByteArray::number(server.processId()));
    }
    void TearDown() override
    {
        if (display.isEmpty())
            return;
        qputenv("QT_QPA_PLATFORM", saved);
        qputenv("ASAN_OPTIONS", savedAsan);
        qunsetenv("DISPLAY");
        qunsetenv("TERVALO_TEST_XVFB_PID");
        server.kill();
        server.waitForFinished(5000);
    }
    QString display;
    QProcess server;
    QByteArray saved, savedAsan;
};

TEST_F(LostDisplay, TheKitIsStoppedWhenTheDisplayServerGoes)
{
    EXPECT_EXIT(driveThenLeave([] {
                    const auto pid = static_cast<pid_t>(qEnvironmentVariableIntValue("TERVALO_TEST_XVFB_PID"));
                    QTimer::singleShot(100, [pid] { ::kill(pid, SIGKILL); });
                    QCoreApplication::exec();
                }),
                ::testing::ExitedWithCode(1), kLastWords);
}

// A run in simulation going on when the display server goes: the kit is
// told first, then the run goes into the library as the program arms it.
void runThenLoseTheDisplay(const QString &library)
{
    TracingPort port;
    Form2 window(&port);
    window.showMessage = [](const QString &) {};
    tervalo::LibrarySession *runs = tervalo::LibrarySession::attach(window, library);
    ExitPaths exits(window, [] { std::fputs("@released\n", stderr); });
    exits.then([runs] {
        runs->finish();
        std::fputs("@stored\n", stderr);
    });
    window.Form_Load();
    window.selectMode(tervalo::RunMode::Simulation);
    window.selectController("P");
    const auto pid = static_cast<pid_t>(qEnvironmentVariableIntValue("TERVALO_TEST_XVFB_PID"));
    QTimer::singleShot(1100, [pid] { ::kill(pid, SIGKILL); });
    window.Label32_Click(); // START: the cycles run until the display goes
}

TEST_F(LostDisplay, TheRunInProgressIsStoredWhenTheDisplayServerGoes)
{
    // the same file in the death test's child, which runs this body again
    const QString library =
        qEnvironmentVariable("TERVALO_TEST_TMP", QStringLiteral("/tmp")) + QStringLiteral("/lost-display-runs.sqlite");
    QFile::remove(library);
    EXPECT_EXIT(runThenLoseTheDisplay(library), ::testing::ExitedWithCode(1), "@released\n@stored\n");
    const std::vector<tervalo::StoredRun> runs = tervalo::RunLibrary(library).list();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].controller, QStringLiteral("P"));
    EXPECT_GE(runs[0].rows, 2) << "the cycles before the display went";
    QFile::remove(library);
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

TEST(ExitPaths, DutiesFollowTheKitInOrderAndAFailureKeepsNoneBack)
{
    std::string said;
    {
        ExitPaths exits([&said] {
            said += "kit ";
            throw std::runtime_error("port gone");
        });
        exits.then([&said] {
            said += "store ";
            throw std::runtime_error("disk full");
        });
        exits.then([&said] { said += "tell"; });
        exits.finish();
        exits.finish();
    }
    EXPECT_EQ(said, "kit store tell");
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
