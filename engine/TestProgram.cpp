#include "engine/TestProgram.h"

#include "engine/SessionLimits.h"

#include <algorithm>
#include <charconv>

namespace tervalo {

const char *testEventKindName(TestEvent::Kind k)
{
    return k == TestEvent::Kind::Reference ? "reference" : "load";
}

TestProgram::Fault TestProgram::fault(const TestEvent &e)
{
    if (e.cycle < 1)
        return Fault::CycleBeforeFirst;
    if (e.kind == TestEvent::Kind::Reference
        && (e.value < SessionLimits::kReferenceMin || e.value > SessionLimits::kReferenceMax))
        return Fault::ReferenceOutside;
    if (e.kind == TestEvent::Kind::Load && (e.value < SessionLimits::kLoadMin || e.value > SessionLimits::kLoadMax))
        return Fault::LoadOutside;
    return Fault::None;
}

std::string TestProgram::check(const TestEvent &e)
{
    switch (fault(e)) {
    case Fault::None: break;
    case Fault::CycleBeforeFirst: return "cycle " + std::to_string(e.cycle) + ": cycles count from 1";
    case Fault::ReferenceOutside:
        return "reference " + std::to_string(e.value) + ": the reference runs from 500 to 2000";
    case Fault::LoadOutside: return "load " + std::to_string(e.value) + ": the load slider runs from 1 to 30";
    }
    return {};
}

bool TestProgram::has(std::int64_t cycle, TestEvent::Kind kind) const
{
    return std::any_of(events_.begin(), events_.end(),
                       [&](const TestEvent &o) { return o.cycle == cycle && o.kind == kind; });
}

std::string TestProgram::secondAtCycle(const TestEvent &e)
{
    return "cycle " + std::to_string(e.cycle) + ": a second " + testEventKindName(e.kind) + " event at this cycle";
}

std::string TestProgram::add(const TestEvent &e)
{
    std::string reason = check(e);
    if (!reason.empty())
        return reason;
    if (has(e.cycle, e.kind))
        return secondAtCycle(e);
    const auto at = std::upper_bound(events_.begin(), events_.end(), e,
                                     [](const TestEvent &a, const TestEvent &b) { return a.cycle < b.cycle; });
    events_.insert(at, e);
    return {};
}

namespace {

bool wholeNumber(const std::string &s, long long &out)
{
    if (s.empty())
        return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

} // namespace

bool parseTestEvent(const std::string &text, TestEvent &out, std::string &reason)
{
    const auto colon = text.find(':');
    const auto equals = text.find('=', colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || equals == std::string::npos) {
        reason = "\"" + text + "\": expected CYCLE:reference=R or CYCLE:load=L";
        return false;
    }
    const std::string cycle = text.substr(0, colon), kind = text.substr(colon + 1, equals - colon - 1),
                      value = text.substr(equals + 1);
    TestEvent e;
    long long c = 0, v = 0;
    if (kind == "reference")
        e.kind = TestEvent::Kind::Reference;
    else if (kind == "load")
        e.kind = TestEvent::Kind::Load;
    else {
        reason = "\"" + text + "\": \"" + kind + "\" is neither reference nor load";
        return false;
    }
    if (!wholeNumber(cycle, c) || c > 1000000000LL) {
        reason = "\"" + text + "\": the cycle is not a whole number";
        return false;
    }
    if (!wholeNumber(value, v) || v < -1000000 || v > 1000000) {
        reason = "\"" + text + "\": the value is not a whole number";
        return false;
    }
    e.cycle = c;
    e.value = static_cast<int>(v);
    reason = TestProgram::check(e);
    if (!reason.empty()) {
        reason = "\"" + text + "\": " + reason;
        return false;
    }
    out = e;
    return true;
}

} // namespace tervalo
