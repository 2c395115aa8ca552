#include "remote/ControlQueue.h"

#include <algorithm>

namespace tervalo::remote {

const char *slotEndText(SlotEndCause cause)
{
    switch (cause) {
    case SlotEndCause::Released: return "released control";
    case SlotEndCause::SlotOver: return "the slot is over";
    case SlotEndCause::LongestRun: return "the run reached the longest run";
    case SlotEndCause::EndedByInstructor: return "the instructor ended the slot";
    case SlotEndCause::TakenByInstructor: return "the instructor took control";
    case SlotEndCause::Lost: return "the driver's connection was lost";
    case SlotEndCause::TakenBack: return "the PC took back control";
    }
    return "";
}

void ControlQueue::request(const QString &name, Ms now)
{
    if (driving(name) || std::find(queue_.begin(), queue_.end(), name) != queue_.end())
        return;
    queue_.push_back(name);
    if (driver_.isEmpty())
        promote(now);
}

std::optional<SlotEnd> ControlQueue::release(const QString &name, Ms now)
{
    if (driving(name))
        return end(SlotEndCause::Released, now);
    queue_.erase(std::remove(queue_.begin(), queue_.end(), name), queue_.end());
    return std::nullopt;
}

std::optional<SlotEnd> ControlQueue::takeControl(const QString &instructor, Ms now)
{
    if (driving(instructor))
        return std::nullopt;
    queue_.erase(std::remove(queue_.begin(), queue_.end(), instructor), queue_.end());
    queue_.push_front(instructor);
    heldByPc_ = false;
    std::optional<SlotEnd> ended;
    if (!driver_.isEmpty())
        ended = end(SlotEndCause::TakenByInstructor, now);
    else
        promote(now);
    return ended;
}

std::optional<SlotEnd> ControlQueue::endSlot(SlotEndCause cause, Ms now)
{
    if (driver_.isEmpty())
        return std::nullopt;
    return end(cause, now);
}

std::optional<SlotEnd> ControlQueue::takeBack(Ms now)
{
    heldByPc_ = true;
    return endSlot(SlotEndCause::TakenBack, now);
}

void ControlQueue::handBack(Ms now)
{
    heldByPc_ = false;
    if (driver_.isEmpty())
        promote(now);
}

std::optional<SlotEnd> ControlQueue::tick(Ms now)
{
    if (driver_.isEmpty())
        return std::nullopt;
    if (runStartedAt_ && now - *runStartedAt_ >= longestRun_)
        return end(SlotEndCause::LongestRun, now);
    if (now >= slotEndsAt_)
        return end(SlotEndCause::SlotOver, now);
    return std::nullopt;
}

QStringList ControlQueue::queue() const
{
    QStringList names;
    for (const QString &n : queue_)
        names.push_back(n);
    return names;
}

int ControlQueue::place(const QString &name) const
{
    const auto it = std::find(queue_.begin(), queue_.end(), name);
    return it == queue_.end() ? 0 : static_cast<int>(it - queue_.begin()) + 1;
}

std::optional<double> ControlQueue::slotEndsIn(Ms now) const
{
    if (driver_.isEmpty())
        return std::nullopt;
    return std::max<qint64>(0, (slotEndsAt_ - now).count()) / 1000.0;
}

std::optional<SlotEnd> ControlQueue::end(SlotEndCause cause, Ms now)
{
    SlotEnd ended{driver_, cause};
    driver_.clear();
    runStartedAt_.reset();
    promote(now);
    return ended;
}

void ControlQueue::promote(Ms now)
{
    if (heldByPc_ || queue_.empty())
        return;
    driver_ = queue_.front();
    queue_.pop_front();
    slotEndsAt_ = now + slot_;
}

} // namespace tervalo::remote
