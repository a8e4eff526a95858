#pragma once
// export, of stimloom and stimloom-host: each run's events written for the analysis tools.
// Pure code does the work (export/); this is the front end that reads the
// inputs, writes the files and tells the user what happened.

#include <cstdio>

#include "console/command_line.h"

namespace console {

// 0 when every input was exported, 1 otherwise. For BIDS, FSL and SPM the
// other inputs are still exported; AFNI's files hold every run, so one input
// that cannot be read stops them all. Summaries go to `out`, warnings and
// failures to `err`.
int exportRuns(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace console
