#pragma once
// Stores finished runs into the run library away from the control cycle: a
// thread of its own with its own connection takes copies of the records
// handed to it after STOP. When the library cannot take a run (locked by
// another copy past the wait, unreadable, corrupt, disk full) the runs stay
// in memory, the owner hears one message until a store succeeds again, and
// each later submit() or retry() tries the kept runs again in order.

#include "engine/RunRecord.h"
#include "store/RunLibrary.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tervalo {

class RunLibraryWriter {
public:
    // Callbacks run on the thread of context (through its event loop).
    struct Callbacks {
        std::function<void(const QString &message)> failed; // once a failure streak
        std::function<void(std::int64_t id)> stored;
    };

    RunLibraryWriter(const QString &path, QObject *context, Callbacks callbacks,
                     int busyTimeoutMs = RunLibrary::kDefaultBusyTimeoutMs);
    // Finishes what is being written; runs still kept unsaved are lost then.
    ~RunLibraryWriter();
    RunLibraryWriter(const RunLibraryWriter &) = delete;
    RunLibraryWriter &operator=(const RunLibraryWriter &) = delete;

    // A copy of record is kept until it is stored, with the context given
    // or, without one, the writer's context as it is now. Runs without a
    // cycle are not kept.
    void submit(const RunRecord &record);
    void submit(const RunRecord &record, const RunContext &context);
    // The context of the runs submitted from now on without one of their own
    // (the student, the plant, the experiment file).
    void setContext(const RunContext &context);
    RunContext context() const;
    // Tries the kept runs again.
    void retry();
    // Runs not stored yet (kept in memory).
    std::size_t pending() const;
    // Waits until the thread has tried every kept run once (tests, exit).
    void waitIdle();
    const QString &path() const { return path_; }

private:
    void work();

    QString path_;
    QPointer<QObject> receiver_;
    Callbacks callbacks_;
    int busyTimeoutMs_;

    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    struct Kept {
        std::shared_ptr<const RunRecord> record;
        RunContext context;
    };
    std::deque<Kept> queue_;
    RunContext context_;
    bool tryNow_ = false;
    bool busy_ = false;
    bool quit_ = false;
    bool reported_ = false; // the failure message of this streak is out
    std::thread thread_;
};

} // namespace tervalo
