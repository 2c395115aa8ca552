#pragma once
// The last words to the kit: the all-zero actuator word, then the port
// released. They are said once, on the first way out the process takes while
// it still runs code of its own:
//   - the normal end of main (this object going out of scope, or finish());
//   - exit() called from anywhere, e.g. by the display plugin when the
//     connection to the display is lost (an atexit hook);
//   - an exception nobody caught (a std::terminate handler, which then hands
//     on to the handler that was there before).
// After the kit, the user's work (then()): the run in progress stored, or a
// line on stderr that it could not be.
// The signals that end the program (SIGINT, SIGTERM, SIGHUP) go through the
// window's own exit path (ExitSignals) and end here as well. SIGKILL and a
// loss of power leave no code to run: only the kit's own hardware can put
// the motor at rest then.

#include <atomic>
#include <functional>
#include <vector>

namespace tervalo {

class Form2;

class ExitPaths {
public:
    // lastWords runs at most once. Only one ExitPaths is armed at a time;
    // a second one replaces the first.
    explicit ExitPaths(std::function<void()> lastWords);
    // The window's all-zero word, then release() (e.g. the port's close).
    ExitPaths(Form2 &window, std::function<void()> release);
    ~ExitPaths();

    ExitPaths(const ExitPaths &) = delete;
    ExitPaths &operator=(const ExitPaths &) = delete;

    // Once the kit has been told, duty runs too on the way out (in the order
    // given; one that throws does not keep the next from running).
    void then(std::function<void()> duty);

    // Say the last words now (nothing when they have been said).
    void finish();
    bool finished() const { return done_.load(); }

private:
    static void atExit();
    static void onTerminate();

    std::function<void()> lastWords_;
    std::vector<std::function<void()>> duties_;
    std::atomic<bool> done_{false};
};

} // namespace tervalo
