#include "app/ExitPaths.h"

#include "ui/main/Form2.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>

namespace tervalo {

namespace {
std::atomic<ExitPaths *> g_armed{nullptr};
std::terminate_handler g_previousTerminate = nullptr;
std::once_flag g_hooksInstalled;
} // namespace

ExitPaths::ExitPaths(std::function<void()> lastWords) : lastWords_(std::move(lastWords))
{
    std::call_once(g_hooksInstalled, [] {
        std::atexit(&ExitPaths::atExit);
        g_previousTerminate = std::set_terminate(&ExitPaths::onTerminate);
    });
    g_armed.store(this);
}

ExitPaths::ExitPaths(Form2 &window, std::function<void()> release)
    : ExitPaths([&window, release = std::move(release)] {
          window.writeZeroWord();
          if (release)
              release();
      })
{ }

ExitPaths::~ExitPaths()
{
    finish();
    ExitPaths *self = this;
    g_armed.compare_exchange_strong(self, nullptr);
}

void ExitPaths::then(std::function<void()> duty)
{
    duties_.push_back(std::move(duty));
}

void ExitPaths::finish()
{
    if (done_.exchange(true))
        return;
    try {
        if (lastWords_)
            lastWords_();
    } catch (...) {
        // on the way out there is nobody left to tell
    }
    for (const std::function<void()> &duty : duties_) {
        try {
            if (duty)
                duty();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "tervalo: on the way out: %s\n", e.what());
        } catch (...) {
            std::fputs("tervalo: on the way out: an unknown failure\n", stderr);
        }
    }
}

void ExitPaths::atExit()
{
    if (ExitPaths *armed = g_armed.load())
        armed->finish();
}

void ExitPaths::onTerminate()
{
    if (ExitPaths *armed = g_armed.load())
        armed->finish();
    if (g_previousTerminate)
        g_previousTerminate();
    std::abort();
}

} // namespace tervalo
