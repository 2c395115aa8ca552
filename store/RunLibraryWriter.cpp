#include "store/RunLibraryWriter.h"

#include <QMetaObject>

namespace tervalo {

RunLibraryWriter::RunLibraryWriter(const QString &path, QObject *context, Callbacks callbacks, int busyTimeoutMs)
    : path_(path), receiver_(context), callbacks_(std::move(callbacks)), busyTimeoutMs_(busyTimeoutMs)
{
    thread_ = std::thread([this] { work(); });
}

RunLibraryWriter::~RunLibraryWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RunLibraryWriter::setContext(const RunContext &context)
{
    std::lock_guard<std::mutex> lock(mutex_);
    context_ = context;
}

RunContext RunLibraryWriter::context() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return context_;
}

void RunLibraryWriter::submit(const RunRecord &record)
{
    submit(record, context());
}

void RunLibraryWriter::submit(const RunRecord &record, const RunContext &context)
{
    if (record.empty())
        return;
    auto copy = std::make_shared<const RunRecord>(record);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({std::move(copy), context});
        tryNow_ = true;
    }
    wake_.notify_all();
}

void RunLibraryWriter::retry()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tryNow_ = !queue_.empty();
    }
    wake_.notify_all();
}

std::size_t RunLibraryWriter::pending() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

void RunLibraryWriter::waitIdle()
{
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !tryNow_ && !busy_; });
}

void RunLibraryWriter::work()
{
    // The connection is made, used and closed on this thread; it is opened
    // again for each attempt after a failure (the file may have been mended).
    std::unique_ptr<RunLibrary> library;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || tryNow_; });
        if (quit_)
            break;
        tryNow_ = false;
        busy_ = true;
        while (!queue_.empty() && !quit_) {
            const Kept next = queue_.front();
            lock.unlock();
            if (!library || !library->usable())
                library = std::make_unique<RunLibrary>(path_, busyTimeoutMs_);
            const std::optional<std::int64_t> id = library->store(*next.record, next.context);
            const QString message = id ? QString() : library->error().message();
            if (!id)
                library.reset();
            lock.lock();
            if (!id) {
                if (!reported_ && callbacks_.failed && receiver_) {
                    reported_ = true;
                    auto failed = callbacks_.failed;
                    QMetaObject::invokeMethod(
                        receiver_.data(), [failed, message] { failed(message); }, Qt::QueuedConnection);
                }
                break; // kept for the next try
            }
            queue_.pop_front();
            reported_ = false;
            if (callbacks_.stored && receiver_) {
                auto stored = callbacks_.stored;
                const std::int64_t newId = *id;
                QMetaObject::invokeMethod(
                    receiver_.data(), [stored, newId] { stored(newId); }, Qt::QueuedConnection);
            }
        }
        busy_ = false;
        idle_.notify_all();
    }
    lock.unlock();
    library.reset();
}

} // namespace tervalo
