#pragma once
// SIGINT, SIGTERM and SIGHUP end the program through its own exit path (so
// the kit's output is put back to zero), not by killing it mid-write. The
// signal handler only notes the signal and writes a byte to a pipe; the
// event loop does the rest. Where no event loop runs (the kit's self-test)
// the code asks caught() between its steps instead.

#include <QObject>

#include <functional>
#include <string>

namespace tervalo {

class ExitSignals : public QObject {
public:
    static void install(QObject *parent, std::function<void()> onSignal);
    // The same signals caught with no event loop: caught() tells which came.
    static void catchOnly();
    // The last of the signals that came ("SIGTERM"), empty while none came.
    static std::string caught();

private:
    ExitSignals(QObject *parent, std::function<void()> onSignal);
    static void handler(int);
    std::function<void()> onSignal_;
};

} // namespace tervalo
