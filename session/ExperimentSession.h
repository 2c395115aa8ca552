#pragma once
// An experiment file and the lab: the file's settings applied through the
// handlers a student's clicks and drags run.

#include "store/ExperimentFile.h"

#include <QString>

namespace tervalo {

class Lab;
class TestProgramRunner;

// Applies a checked experiment (ExperimentFile::fromJson has accepted it):
// mode, gains, controller, divisors, reference and rule table; the test
// program goes to runner when given. Refused (false, why) while a run is in
// progress: nothing is changed then.
bool applyExperiment(Lab &lab, const Experiment &e, TestProgramRunner *runner, QString &why);

// The window's settings as an experiment: mode, controller (P when none is
// chosen yet), gains (the chosen law's own bars; the shared gains for the
// rest), divisors, the reference slider, the rule table and the given test
// program. False (and why, naming the rule cell by its terms as "rules: row
// ZE, column PM", in the window's language) when a rule cell holds a text
// that is no term name.
bool experimentOf(const Lab &lab, const TestProgram &program, Experiment &out, QString &why);

} // namespace tervalo
