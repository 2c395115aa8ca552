#pragma once
// A timed test program: events at given control cycles of a run - a step of
// the reference to R, or a change of the load to L - so that a whole class
// repeats the very same experiment. The program is plain data; whoever runs
// the cycles applies the events of a cycle just before that cycle runs.

#include <cstdint>
#include <string>
#include <vector>

namespace tervalo {

struct TestEvent {
    enum class Kind { Reference, Load };
    std::int64_t cycle = 1; // the first cycle that runs with the new value
    Kind kind = Kind::Reference;
    int value = 0; // reference 500..2000 or load 1..30

    bool operator==(const TestEvent &o) const { return cycle == o.cycle && kind == o.kind && value == o.value; }
};

// "reference" / "load"
const char *testEventKindName(TestEvent::Kind k);

class TestProgram {
public:
    // What keeps an event out of a program.
    enum class Fault { None, CycleBeforeFirst, ReferenceOutside, LoadOutside };
    static Fault fault(const TestEvent &e);
    // Why an event cannot be in a program ("cycle 0: cycles count from 1"),
    // empty when it can.
    static std::string check(const TestEvent &e);

    // Adds an event (checked; see check()); the events stay in cycle order,
    // events of one cycle in the order they were added. A second event of
    // one kind at one cycle is refused: it would undo the first at once.
    // Returns the reason for a refused event, empty when added.
    std::string add(const TestEvent &e);
    // An event of this kind at this cycle already.
    bool has(std::int64_t cycle, TestEvent::Kind kind) const;
    // "cycle 50: a second reference event at this cycle"
    static std::string secondAtCycle(const TestEvent &e);

    const std::vector<TestEvent> &events() const { return events_; }
    bool empty() const { return events_.empty(); }
    void clear() { events_.clear(); }

    // The events of one cycle, in order.
    template <typename F> void forEachAt(std::int64_t cycle, F &&f) const
    {
        for (const TestEvent &e : events_)
            if (e.cycle == cycle)
                f(e);
    }

    bool operator==(const TestProgram &o) const { return events_ == o.events_; }

private:
    std::vector<TestEvent> events_;
};

// Parses "CYCLE:reference=R" or "CYCLE:load=L"; the reason on failure.
bool parseTestEvent(const std::string &text, TestEvent &out, std::string &reason);

} // namespace tervalo
