#include "app/ExitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tervalo {

namespace {
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_caught = 0;
} // namespace

void ExitSignals::handler(int sig)
{
    g_caught = sig;
    if (g_pipe[1] < 0)
        return;
    const char byte = 1;
    const ssize_t n = ::write(g_pipe[1], &byte, 1);
    (void)n;
}

void ExitSignals::catchOnly()
{
    struct sigaction sa { };
    sa.sa_handler = &ExitSignals::handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

std::string ExitSignals::caught()
{
    switch (g_caught) {
    case 0: return {};
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(int(g_caught));
    }
}

ExitSignals::ExitSignals(QObject *parent, std::function<void()> onSignal)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (g_pipe[0] < 0) {
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
    }
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        if (onSignal_)
            onSignal_();
    });
    catchOnly();
}

void ExitSignals::install(QObject *parent, std::function<void()> onSignal)
{
    new ExitSignals(parent, std::move(onSignal));
}

} // namespace tervalo
