#pragma once
// SIGINT, SIGTERM and SIGHUP end the program through its own exit path (so
// the kit's output is put back to zero), not by killing it mid-write. The
// signal handler only writes a byte to a pipe; the event loop does the rest.

#include <QObject>

#include <functional>

namespace tervalo {

class ExitSignals : public QObject {
public:
    static void install(QObject *parent, std::function<void()> onSignal);

private:
    ExitSignals(QObject *parent, std::function<void()> onSignal);
    static void handler(int);
    std::function<void()> onSignal_;
};

} // namespace tervalo
