#pragma once
// What tervalo-sim keeps of a run besides its table: the experiment file the
// options describe, the run in a run library, and the figures of each
// stretch of constant reference.

#include "engine/RunRecord.h"
#include "store/ClassServer.h"
#include "store/ExperimentFile.h"
#include "store/RunLibrary.h"

#include <string>
#include <vector>

namespace tervalo {
class Form2;
}

namespace tervalo::sim {

// Writes the experiment the window is set up for now (experimentOf of
// session/ExperimentSession), with program, to path, atomically; "" when
// written, else "path: reason".
std::string saveExperiment(Form2 &form, const TestProgram &program, const std::string &path);

// Stores a run that has at least one cycle in the run library at path
// (made when missing), with its context, in one transaction; "" when stored
// or when there is nothing to store, else "path: reason".
std::string storeRun(const RunRecord &record, const std::string &path, const RunContext &context = RunContext());

// Sends every run of the library at path the class server lacks, one pass
// (ClassForwarder), and says how it went: status 0 when the server holds
// them all, 3 when runs stay in the library for a later forward (one line
// saying how many and why), 1 when the library failed (its line).
struct Forwarded {
    int status = 0;
    std::vector<std::string> lines;
};
Forwarded forwardRuns(const std::string &path, const ClassServerAddress &server);

// The figures of each stretch of constant reference when the run has more
// than one ("" otherwise): a line "stretches,N", then for stretch K = 1..N
// "first_cycle@K", "last_cycle@K", "reference@K" and every figure as
// "metric@K,value". Times are counted from the stretch's step: its first
// cycle reads 0.2 s, as a run's first cycle does.
std::string stretchLines(const RunRecord &record);

} // namespace tervalo::sim
