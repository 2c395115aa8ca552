#include "remote/RemoteApi.h"

namespace tervalo::remote {

const char *roleName(Role r)
{
    switch (r) {
    case Role::Viewer: return "viewer";
    case Role::Student: return "student";
    case Role::Instructor: return "instructor";
    }
    return "viewer";
}

const std::array<ActionInfo, kActionCount> &actions()
{
    static const std::array<ActionInfo, kActionCount> table{{
        {Action::RequestControl, "request-control", Allowed::Queuer, ""},
        {Action::ReleaseControl, "release-control", Allowed::Queuer, ""},
        {Action::Select, "select", Allowed::Driver, "mode controller"},
        {Action::Gains, "gains", Allowed::Driver, "kp ki kd"},
        {Action::Reference, "reference", Allowed::Driver, "rpm"},
        {Action::Divisors, "divisors", Allowed::Driver, "error output"},
        {Action::Rule, "rule", Allowed::Driver, "cell term"},
        {Action::Actuator, "actuator", Allowed::Driver, "value"},
        {Action::Start, "start", Allowed::Driver, ""},
        // the instructor may always stop a run, driving or not
        {Action::Stop, "stop", Allowed::DriverOrInstructor, ""},
        {Action::Experiment, "experiment", Allowed::Driver, "file"},
        {Action::TakeControl, "take-control", Allowed::Instructor, ""},
        {Action::EndSlot, "end-slot", Allowed::Instructor, ""},
    }};
    return table;
}

std::optional<Action> actionNamed(const QString &name)
{
    for (const ActionInfo &a : actions())
        if (name == QLatin1String(a.name))
            return a.action;
    return std::nullopt;
}

const ActionInfo &actionInfo(Action a)
{
    return actions()[static_cast<std::size_t>(a)];
}

bool mayTake(Role role, bool driving, Action action)
{
    if (role == Role::Viewer)
        return false;
    switch (actionInfo(action).allowed) {
    case Allowed::Queuer: return true;
    case Allowed::Driver: return driving;
    case Allowed::DriverOrInstructor: return driving || role == Role::Instructor;
    case Allowed::Instructor: return role == Role::Instructor;
    }
    return false;
}

} // namespace tervalo::remote
