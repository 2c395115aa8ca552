#pragma once
// The remote lab's roles and actions, in one table: which role may take
// which action, and whether the action needs the caller to hold control.
// The server, its tests and the README's table all read it from here.

#include <QString>

#include <array>
#include <optional>

namespace tervalo::remote {

enum class Role { Viewer, Student, Instructor };

const char *roleName(Role r); // "viewer", "student", "instructor"

enum class Action {
    RequestControl,
    ReleaseControl,
    Select,
    Gains,
    Reference,
    Divisors,
    Rule,
    Actuator,
    Start,
    Stop,
    Experiment,
    TakeControl,
    EndSlot,
};

// Who may take an action.
enum class Allowed {
    Queuer, // a student or the instructor, driving or not
    Driver, // whoever holds control
    DriverOrInstructor,
    Instructor, // the instructor only
};

struct ActionInfo {
    Action action;
    const char *name; // as in the command's "action"
    Allowed allowed;
    const char *keys; // the keys the command may have besides "action", space-separated
};

constexpr std::size_t kActionCount = 13;

const std::array<ActionInfo, kActionCount> &actions();
std::optional<Action> actionNamed(const QString &name);
const ActionInfo &actionInfo(Action a);

// Whether a caller of the role, driving or not, may take the action.
bool mayTake(Role role, bool driving, Action action);

} // namespace tervalo::remote
