#pragma once
// Writes a run's files (CSV + JSON, RunFiles) away from the control cycle:
// submit() copies the rows to be saved and returns at once; a thread of its
// own formats and writes them, in order, through a bounded queue. A failure
// (with the path and the system's reason) is handed to the owner on the
// thread of its context, through its event loop. Files still queued when the
// writer goes are written first.

#include "engine/RunRecord.h"
#include "fileio/FileError.h"
#include "store/RunFiles.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tervalo {

class RunFileWriter {
public:
    static constexpr std::size_t kDefaultQueue = 4;

    // failed(error, run): the run number (RunRecord::runNumber) the files were of.
    using Failed = std::function<void(const FileError &error, std::uint64_t run)>;

    RunFileWriter(QObject *context, Failed failed, std::size_t queueLimit = kDefaultQueue);
    ~RunFileWriter();
    RunFileWriter(const RunFileWriter &) = delete;
    RunFileWriter &operator=(const RunFileWriter &) = delete;

    // Rows [begin, end) of record, copied now, to be saved as chosen. With
    // the queue full nothing is kept and the failure is told ("the files of
    // earlier sweeps are still being written"); false then.
    bool submit(const RunRecord &record, std::size_t begin, std::size_t end, const QString &chosen);

    // Waits until everything submitted so far is written or has failed.
    void waitIdle();

private:
    struct Job {
        std::unique_ptr<RunRecord> rows;
        QString chosen;
        std::uint64_t run = 0;
    };

    void work();
    void tell(const FileError &e, std::uint64_t run);

    QPointer<QObject> context_;
    Failed failed_;
    std::size_t limit_;

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Job> queue_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};

} // namespace tervalo
