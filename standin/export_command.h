#pragma once
// stimloom-host export: each run's events written for the analysis tools.
// Pure code does the work (export/); this is the front end that reads the
// inputs, writes the files and tells the user what happened.

#include <cstdio>

#include "standin/command_line.h"

namespace standin {

// 0 when every input was exported, 1 otherwise; the other inputs are still
// exported. Summaries go to `out`, warnings and failures to `err`.
int exportRuns(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace standin
