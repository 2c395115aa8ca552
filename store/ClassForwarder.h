#pragma once
// Sends the runs of a run library on to the class server, away from the
// control cycle: a thread of its own with its own connections to the library
// (SQLite) and to the server (PostgreSQL). Nothing is handed to it but a
// wake-up: the library is its queue. Each pass goes through every run the
// server lacks (RunLibrary::unsent), a bounded batch a round, and sends each
// in one transaction keyed by its UUID (a resend makes no second copy); a run
// the server took and that was renamed or annotated since gets only the
// change. Each run tried is marked in the library: sent, refused (with the
// server's reason), or still local (with why the server could not be
// reached). A run deleted from the library is not sent: the server's copy
// stays.
//
// When the server cannot be reached (or refuses the library as a whole: no
// class library there, a newer one) the pass ends and the next waits, longer
// after each failure up to a limit; the owner hears one message a failure
// streak. Every start makes a pass at once; until one has reached the
// server, runs the server refused before are offered again (a refusal may
// have been lifted); later passes leave them be.

#include "store/ClassServer.h"
#include "store/RunLibrary.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tervalo {

// How long the forwarder waits before trying again after its failures'th
// failure in a row (1, 2, ...): first, doubled each time, never more than
// longest; then spread by spread (0.2: up to 20 % either way, so that the
// PCs of a lab do not all come back at the same instant), with random a
// number in [0, 1).
struct RetryDelays {
    std::chrono::milliseconds first{std::chrono::seconds(5)};
    std::chrono::milliseconds longest{std::chrono::minutes(5)};
    double spread = 0.2;

    std::chrono::milliseconds after(int failures, double random = 0.5) const;
};

// What one pass did.
struct ForwardOutcome {
    int sent = 0;    // runs the server took now (or held already)
    int updated = 0; // runs whose new name or note went
    int refused = 0; // runs the server refused
    // runs not on the server after the pass (local or refused); -1 when the
    // library could not tell
    std::int64_t remaining = 0;
    // One line each, no two alike: why runs stayed local ("URI: reason"),
    // the server's refusals ("run UUID: reason"), the library's failure
    // ("path: reason").
    std::vector<QString> reasons;
    bool serverUnreachable = false; // the server could not be reached, or refused the library
    bool libraryFailed = false;     // the library could not be read or marked

    bool complete() const { return remaining == 0 && !libraryFailed; }
};

class ClassForwarder {
public:
    struct Options {
        RetryDelays retry;
        int runsPerRound = 16; // runs read from the library and sent before the next look
        int busyTimeoutMs = RunLibrary::kDefaultBusyTimeoutMs;
    };
    // Callbacks run on the thread of context (through its event loop).
    struct Callbacks {
        // each run tried: its new state and reason
        std::function<void(std::int64_t id, ForwardState state, const QString &reason)> forwarded;
        // once a failure streak: why runs are kept in the library
        std::function<void(const QString &message)> failed;
        // the first pass that reached the server after a failure streak
        std::function<void()> recovered;
    };

    // Starts the thread, which makes a pass at once. password empty: libpq
    // finds one (PGPASSWORD, ~/.pgpass) or none. A library file that is not
    // there has nothing to send (it is not made).
    ClassForwarder(const QString &libraryPath, ClassServerAddress server, QString password, QObject *context,
                   Callbacks callbacks, Options options);
    ClassForwarder(const QString &libraryPath, ClassServerAddress server, QString password = {},
                   QObject *context = nullptr, Callbacks callbacks = {});
    // Ends after the run being sent (a connection attempt waits its
    // connect_timeout at most); what is left goes at the next start.
    ~ClassForwarder();
    ClassForwarder(const ClassForwarder &) = delete;
    ClassForwarder &operator=(const ClassForwarder &) = delete;

    // New runs in the library, or a rename or note: a pass as soon as the
    // waiting after a failure allows. Cheap enough to call from anywhere.
    void wake();
    // A pass now, whatever the waiting after a failure.
    void retryNow();
    // Waits until no pass is running or due now (one waiting out a failure
    // is not due), and gives the last pass's outcome.
    ForwardOutcome waitIdle();
    // Passes made since the start.
    int passes() const;

    const QString &libraryPath() const { return libraryPath_; }
    const ClassServerAddress &server() const { return server_; }

private:
    void work();
    ForwardOutcome pass(RunLibrary &library, ClassServer &server, bool withRefused);
    void tell(std::function<void()> call);

    QString libraryPath_;
    ClassServerAddress server_;
    QString password_;
    QPointer<QObject> receiver_;
    Callbacks callbacks_;
    Options options_;

    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    bool asked_ = true; // the pass at the start
    std::optional<std::chrono::steady_clock::time_point> retryAt_;
    bool busy_ = false;
    bool quit_ = false;
    int passes_ = 0;
    ForwardOutcome last_;
    std::thread thread_;
};

} // namespace tervalo
