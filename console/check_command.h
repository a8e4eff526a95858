#pragma once
// check, of stimloom and stimloom-host: a study's runs checked before they are analysed, each
// finding a line on `out`, and the whole as an HTML page with --report.

#include <cstdio>

#include "console/command_line.h"

namespace console {

// 1 when there is an error (a finding, an input or image that cannot be
// read, a report that cannot be written), 0 otherwise.
int checkRuns(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace console
