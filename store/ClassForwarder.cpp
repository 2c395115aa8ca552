#include "store/ClassForwarder.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace tervalo {

std::chrono::milliseconds RetryDelays::after(int failures, double random) const
{
    const int doublings = std::clamp(failures - 1, 0, 40);
    double ms =
        std::min(static_cast<double>(first.count()) * std::ldexp(1.0, doublings), static_cast<double>(longest.count()));
    ms *= 1 + spread * (2 * std::clamp(random, 0.0, 1.0) - 1);
    ms = std::clamp(ms, 1.0, static_cast<double>(std::max<std::int64_t>(longest.count(), 1)));
    return std::chrono::milliseconds(static_cast<std::int64_t>(ms));
}

namespace {

ClassRunContext contextOf(const StoredRun &run)
{
    ClassRunContext c;
    c.uuid = run.uuid;
    c.student = run.student;
    c.host = run.host;
    c.plantKind = run.plant;
    c.programVersion = run.programVersion;
    c.kind = QString::fromLatin1(runKindName(run.kind));
    c.experiment = run.experiment;
    c.experimentSha256 = run.experimentSha256;
    c.rulesSha256 = run.rulesSha256;
    c.name = run.name;
    c.note = run.note;
    return c;
}

void addReason(ForwardOutcome &o, const QString &reason)
{
    if (std::find(o.reasons.begin(), o.reasons.end(), reason) == o.reasons.end())
        o.reasons.push_back(reason);
}

} // namespace

ClassForwarder::ClassForwarder(const QString &libraryPath, ClassServerAddress server, QString password,
                               QObject *context, Callbacks callbacks, Options options)
    : libraryPath_(libraryPath), server_(std::move(server)), password_(std::move(password)), receiver_(context),
      callbacks_(std::move(callbacks)), options_(options)
{
    options_.runsPerRound = std::clamp(options_.runsPerRound, 1, 1000);
    thread_ = std::thread([this] { work(); });
}

ClassForwarder::ClassForwarder(const QString &libraryPath, ClassServerAddress server, QString password,
                               QObject *context, Callbacks callbacks)
    : ClassForwarder(libraryPath, std::move(server), std::move(password), context, std::move(callbacks), Options())
{ }

ClassForwarder::~ClassForwarder()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ClassForwarder::wake()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        asked_ = true;
    }
    wake_.notify_all();
}

void ClassForwarder::retryNow()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        asked_ = true;
        retryAt_.reset();
    }
    wake_.notify_all();
}

ForwardOutcome ClassForwarder::waitIdle()
{
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] {
        const bool due = asked_ && (!retryAt_ || std::chrono::steady_clock::now() >= *retryAt_);
        return quit_ || (!busy_ && !due);
    });
    return last_;
}

int ClassForwarder::passes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return passes_;
}

void ClassForwarder::tell(std::function<void()> call)
{
    if (receiver_)
        QMetaObject::invokeMethod(receiver_.data(), std::move(call), Qt::QueuedConnection);
}

ForwardOutcome ClassForwarder::pass(RunLibrary &library, ClassServer &server, bool withRefused)
{
    ForwardOutcome o;
    const auto stopping = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return quit_;
    };
    // The run's new state into the library; false when the library refuses.
    const auto mark = [&](const StoredRun &run, ForwardState state, const QString &reason) {
        if (!library.markForwarded(run.id, state, reason)) {
            o.libraryFailed = true;
            addReason(o, library.error().message());
            return false;
        }
        if (callbacks_.forwarded) {
            auto forwarded = callbacks_.forwarded;
            const std::int64_t id = run.id;
            tell([forwarded, id, state, reason] { forwarded(id, state, reason); });
        }
        return true;
    };
    // The server could not be reached (or refused the library as a whole):
    // the run stays local with the reason, and the pass ends.
    const auto unreachable = [&](const StoredRun &run) {
        const ClassServerError e = server.error();
        o.serverUnreachable = true;
        addReason(o, e.message());
        mark(run, ForwardState::Local, e.reason);
    };

    std::int64_t after = 0;
    bool stop = false;
    while (!stop && !stopping()) {
        const std::vector<StoredRun> batch = library.unsent(options_.runsPerRound, after, withRefused);
        if (library.error()) {
            o.libraryFailed = true;
            addReason(o, library.error().message());
            break;
        }
        if (batch.empty())
            break;
        if (!server.isOpen() && !server.open()) {
            unreachable(batch.front());
            break;
        }
        for (const StoredRun &run : batch) {
            if (stopping()) {
                stop = true;
                break;
            }
            after = run.id;
            if (run.changedSinceSent()) {
                if (server.update(run.uuid, run.name, run.note)) {
                    ++o.updated;
                    if (!mark(run, ForwardState::Sent, QString())) {
                        stop = true;
                        break;
                    }
                    continue;
                }
                if (server.error().kind != ClassServerError::Kind::Refused) {
                    unreachable(run);
                    stop = true;
                    break;
                }
                // the server lacks the run: it goes whole
            }
            const std::unique_ptr<RunRecord> record = library.load(run.id);
            if (!record) {
                // this run cannot be read; the others may go
                o.libraryFailed = true;
                addReason(o, library.error().message());
                continue;
            }
            if (server.send(contextOf(run), *record)) {
                ++o.sent;
                if (!mark(run, ForwardState::Sent, QString())) {
                    stop = true;
                    break;
                }
            } else if (server.error().kind == ClassServerError::Kind::Refused) {
                ++o.refused;
                addReason(o, QStringLiteral("run %1: %2").arg(run.uuid, server.error().message()));
                if (!mark(run, ForwardState::Refused, server.error().reason)) {
                    stop = true;
                    break;
                }
            } else {
                unreachable(run);
                stop = true;
                break;
            }
        }
    }
    // a connection is made for each pass: an idle one would not see the
    // server restart
    server.close();
    const std::optional<std::int64_t> remaining = library.unsentCount();
    o.remaining = remaining.value_or(-1);
    if (!remaining) {
        o.libraryFailed = true;
        addReason(o, library.error().message());
    }
    return o;
}

void ClassForwarder::work()
{
    // Both connections are made, used and closed on this thread.
    std::unique_ptr<RunLibrary> library;
    ClassServer server(server_, password_);
    bool first = true; // the first pass to reach the server offers the refused runs again
    int failures = 0;
    bool reported = false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        for (;;) {
            if (quit_)
                break;
            if (asked_ && (!retryAt_ || std::chrono::steady_clock::now() >= *retryAt_))
                break;
            if (retryAt_ && asked_)
                wake_.wait_until(lock, *retryAt_);
            else
                wake_.wait(lock);
        }
        if (quit_)
            break;
        asked_ = false;
        retryAt_.reset();
        busy_ = true;
        lock.unlock();

        ForwardOutcome outcome;
        if (QFileInfo::exists(libraryPath_)) {
            if (!library)
                library = std::make_unique<RunLibrary>(libraryPath_, options_.busyTimeoutMs);
            if (library->usable()) {
                outcome = pass(*library, server, first);
            } else {
                outcome.libraryFailed = true;
                outcome.remaining = -1;
                addReason(outcome, library->error().message());
            }
            if (outcome.libraryFailed)
                library.reset(); // opened anew at the next pass (the file may be mended)
        }
        // until a pass has reached the server, the refused runs are offered
        first = first && outcome.serverUnreachable;
        const bool failed = outcome.serverUnreachable || outcome.libraryFailed;

        lock.lock();
        if (failed) {
            ++failures;
            asked_ = true;
            retryAt_ = std::chrono::steady_clock::now()
                + options_.retry.after(failures, QRandomGenerator::global()->generateDouble());
            if (!reported && callbacks_.failed && !outcome.reasons.empty()) {
                reported = true;
                auto call = callbacks_.failed;
                const QString message = outcome.reasons.front();
                tell([call, message] { call(message); });
            }
        } else {
            if (reported && callbacks_.recovered) {
                auto call = callbacks_.recovered;
                tell([call] { call(); });
            }
            failures = 0;
            reported = false;
        }
        last_ = outcome;
        ++passes_;
        busy_ = false;
        idle_.notify_all();
    }
    idle_.notify_all();
    lock.unlock();
    library.reset();
}

} // namespace tervalo
