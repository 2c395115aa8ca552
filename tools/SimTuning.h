#pragma once
// tervalo-sim's tuning commands: the fuzzy surface, the bump test and the
// gain suggestion. Each prints its result (or writes its file) and returns
// the exit status: 0 done, 1 refused or failed, with one line on stderr.

#include "tools/CheckedOutput.h"
#include "tools/SimArguments.h"

namespace tervalo::sim {

int writeSurface(const Options &options);
int identifyPlant(const Options &options, CheckedOutput &out);
int suggestGains(const Options &options, CheckedOutput &out);

} // namespace tervalo::sim
