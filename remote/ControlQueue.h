#pragma once
// Who drives the remote lab: one driver at a time, the others in a queue in
// the order they asked. A slot lasts RemoteConfig::slot; the driver's
// release, the slot's end, a run past the longest run, the instructor's
// end-slot or take-control, the driver's live socket lost and the person at
// the PC taking control back each end the slot. Whoever ends a slot is told
// to STOP the run (the returned SlotEnd), and control passes to the next in
// the queue unless the PC holds it.
//
// Pure bookkeeping on a clock given in milliseconds: no timers, no network.

#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <optional>

namespace tervalo::remote {

enum class SlotEndCause { Released, SlotOver, LongestRun, EndedByInstructor, TakenByInstructor, Lost, TakenBack };

const char *slotEndText(SlotEndCause cause); // "released control", ...

struct SlotEnd {
    QString driver;
    SlotEndCause cause;
};

class ControlQueue {
public:
    using Ms = std::chrono::milliseconds;
    ControlQueue(Ms slot, Ms longestRun) : slot_(slot), longestRun_(longestRun) { }

    // Joins the queue, or drives at once when no one does. A name already
    // driving or queued keeps its place.
    void request(const QString &name, Ms now);
    // The driver ends the slot; a queued name leaves the queue.
    std::optional<SlotEnd> release(const QString &name, Ms now);
    // The instructor drives now; the slot of the driver before ends.
    std::optional<SlotEnd> takeControl(const QString &instructor, Ms now);
    // The slot ends for cause (end-slot, a lost live socket).
    std::optional<SlotEnd> endSlot(SlotEndCause cause, Ms now);
    // The PC takes control: the slot ends and no one drives until handBack().
    std::optional<SlotEnd> takeBack(Ms now);
    void handBack(Ms now);
    bool heldByPc() const { return heldByPc_; }

    // A run driven remotely started or stopped.
    void runStarted(Ms now) { runStartedAt_ = now; }
    void runStopped() { runStartedAt_.reset(); }
    // The slot or the run past its time: ends the slot.
    std::optional<SlotEnd> tick(Ms now);

    const QString &driver() const { return driver_; } // empty: no one
    bool driving(const QString &name) const { return !driver_.isEmpty() && driver_ == name; }
    QStringList queue() const;
    int place(const QString &name) const; // 1 for the first in the queue; 0 when not queued
    // Seconds left of the slot; nothing when no one drives.
    std::optional<double> slotEndsIn(Ms now) const;

private:
    std::optional<SlotEnd> end(SlotEndCause cause, Ms now);
    void promote(Ms now);

    Ms slot_, longestRun_;
    QString driver_;
    Ms slotEndsAt_{0};
    std::optional<Ms> runStartedAt_;
    std::deque<QString> queue_;
    bool heldByPc_ = false;
};

} // namespace tervalo::remote
