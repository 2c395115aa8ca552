#include "store/RunFileWriter.h"

#include <QMetaObject>

namespace tervalo {

RunFileWriter::RunFileWriter(QObject *context, Failed failed, std::size_t queueLimit)
    : context_(context), failed_(std::move(failed)), limit_(queueLimit)
{
    thread_ = std::thread([this] { work(); });
}

RunFileWriter::~RunFileWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RunFileWriter::tell(const FileError &e, std::uint64_t run)
{
    if (!failed_ || !context_)
        return;
    QMetaObject::invokeMethod(
        context_.data(), [failed = failed_, e, run] { failed(e, run); }, Qt::QueuedConnection);
}

bool RunFileWriter::submit(const RunRecord &record, std::size_t begin, std::size_t end, const QString &chosen)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= limit_) {
            tell({RunFiles::csvPath(chosen), QStringLiteral("the files of earlier sweeps are still being written")},
                 record.runNumber());
            return false;
        }
    }
    Job job{std::make_unique<RunRecord>(record.part(begin, end)), chosen, record.runNumber()};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(job));
    }
    wake_.notify_all();
    return true;
}

void RunFileWriter::waitIdle()
{
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void RunFileWriter::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (queue_.empty() && quit_)
            break;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        if (const FileError e = RunFiles::save(*job.rows, job.chosen))
            tell(e, job.run);
        job.rows.reset();
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

} // namespace tervalo
